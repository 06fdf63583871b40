#include "testing/PngWriter.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>

namespace png {

namespace {

// The file's fixed parts.
constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kTruecolour = 2;
constexpr size_t kBytesPerPixel = 3;

// deflate's limits and its fixed code's length and distance tables.
constexpr size_t kWindow = 32768;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
constexpr size_t kMaxStored = 65535;
constexpr int kHashBits = 15;
// How many earlier places with the same three bytes a match is looked for at: pictures of
// windows repeat at short distances, so a short search finds nearly everything.
constexpr int kMaxChain = 48;
constexpr uint16_t kEndOfBlock = 256;

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                    4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                    9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// deflate packs bits from the least significant end of each byte; Huffman codes go in with
// their first bit first, so they are reversed on the way in.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

    void Put(uint32_t value, int count) {
        bits_ |= value << used_;
        used_ += count;
        while (used_ >= 8) {
            out_.push_back(static_cast<uint8_t>(bits_));
            bits_ >>= 8;
            used_ -= 8;
        }
    }
    void PutCode(uint32_t code, int count) {
        uint32_t reversed = 0;
        for (int i = 0; i < count; ++i) reversed |= ((code >> i) & 1u) << (count - 1 - i);
        Put(reversed, count);
    }
    void Flush() {
        if (used_ > 0) out_.push_back(static_cast<uint8_t>(bits_));
        bits_ = 0;
        used_ = 0;
    }

private:
    std::vector<uint8_t>& out_;
    uint32_t bits_ = 0;
    int used_ = 0;
};

// A literal byte, the end of the block or a length, in the fixed literal/length code.
void PutSymbol(BitWriter& bits, uint32_t symbol) {
    if (symbol <= 143)
        bits.PutCode(0x30 + symbol, 8);
    else if (symbol <= 255)
        bits.PutCode(0x190 + (symbol - 144), 9);
    else if (symbol <= 279)
        bits.PutCode(symbol - 256, 7);
    else
        bits.PutCode(0xC0 + (symbol - 280), 8);
}

template <size_t N>
size_t SlotOf(const std::array<uint16_t, N>& bases, size_t value) {
    size_t slot = N - 1;
    while (bases[slot] > value) --slot;
    return slot;
}

void PutMatch(BitWriter& bits, size_t length, size_t distance) {
    const size_t l = SlotOf(kLengthBase, length);
    PutSymbol(bits, static_cast<uint32_t>(257 + l));
    bits.Put(static_cast<uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
    const size_t d = SlotOf(kDistanceBase, distance);
    bits.PutCode(static_cast<uint32_t>(d), 5);
    bits.Put(static_cast<uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

uint32_t HashAt(const uint8_t* p) {
    const uint32_t three = static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
    return (three * 2654435761u) >> (32 - kHashBits);
}

// One final block with the fixed codes, matches found through hash chains over the window.
std::vector<uint8_t> FixedBlock(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    BitWriter bits(out);
    bits.Put(1, 1);  // the final block
    bits.Put(1, 2);  // fixed Huffman codes
    std::vector<int64_t> head(size_t{1} << kHashBits, -1);
    std::vector<int64_t> previous(kWindow, -1);
    const auto insert = [&](size_t at) {
        if (at + kMinMatch > size) return;
        const uint32_t hash = HashAt(data + at);
        previous[at % kWindow] = head[hash];
        head[hash] = static_cast<int64_t>(at);
    };
    size_t at = 0;
    while (at < size) {
        size_t bestLength = 0;
        size_t bestDistance = 0;
        if (at + kMinMatch <= size) {
            const size_t most = std::min(kMaxMatch, size - at);
            int64_t candidate = head[HashAt(data + at)];
            for (int tries = 0; tries < kMaxChain && candidate >= 0; ++tries) {
                const auto from = static_cast<size_t>(candidate);
                if (at - from > kWindow) break;
                size_t length = 0;
                while (length < most && data[from + length] == data[at + length]) ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = at - from;
                    if (length == most) break;
                }
                const int64_t next = previous[from % kWindow];
                if (next >= candidate) break;  // the slot was reused by a later place
                candidate = next;
            }
        }
        if (bestLength >= kMinMatch) {
            PutMatch(bits, bestLength, bestDistance);
            for (size_t i = 0; i < bestLength; ++i) insert(at + i);
            at += bestLength;
        } else {
            PutSymbol(bits, data[at]);
            insert(at);
            ++at;
        }
    }
    PutSymbol(bits, kEndOfBlock);
    bits.Flush();
    return out;
}

// The bytes as they are, for data the fixed codes would only make longer.
std::vector<uint8_t> StoredBlocks(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    size_t at = 0;
    do {
        const size_t length = std::min(kMaxStored, size - at);
        const bool last = at + length == size;
        out.push_back(last ? 1 : 0);  // final flag, type 00, then the byte boundary
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), data + at, data + at + length);
        at += length;
    } while (at < size);
    return out;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    PutBe32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe32(out, Crc32(out.data() + start, out.size() - start));
}

uint8_t Paeth(uint8_t left, uint8_t up, uint8_t upLeft) {
    const int p = left + up - upLeft;
    const int toLeft = std::abs(p - left);
    const int toUp = std::abs(p - up);
    const int toUpLeft = std::abs(p - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) return left;
    return toUp <= toUpLeft ? up : upLeft;
}

// The rows, each behind the filter that leaves the smallest sum of its bytes read as signed
// numbers: the usual choice, and good enough for pictures of windows.
std::vector<uint8_t> FilteredRows(const RgbImage& image) {
    const size_t stride = static_cast<size_t>(image.width) * kBytesPerPixel;
    const std::vector<uint8_t> none(stride, 0);
    std::vector<uint8_t> out;
    out.reserve((stride + 1) * image.height);
    std::array<std::vector<uint8_t>, 5> candidates;
    for (auto& candidate : candidates) candidate.resize(stride);
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels.data() + y * stride;
        const uint8_t* above = y ? row - stride : none.data();
        for (size_t i = 0; i < stride; ++i) {
            const uint8_t left = i >= kBytesPerPixel ? row[i - kBytesPerPixel] : 0;
            const uint8_t upLeft = i >= kBytesPerPixel ? above[i - kBytesPerPixel] : 0;
            candidates[0][i] = row[i];
            candidates[1][i] = static_cast<uint8_t>(row[i] - left);
            candidates[2][i] = static_cast<uint8_t>(row[i] - above[i]);
            candidates[3][i] = static_cast<uint8_t>(row[i] - (left + above[i]) / 2);
            candidates[4][i] = static_cast<uint8_t>(row[i] - Paeth(left, above[i], upLeft));
        }
        size_t best = 0;
        uint64_t bestSum = UINT64_MAX;
        for (size_t f = 0; f < candidates.size(); ++f) {
            uint64_t sum = 0;
            for (uint8_t byte : candidates[f]) sum += byte < 128 ? byte : 256 - byte;
            if (sum < bestSum) {
                bestSum = sum;
                best = f;
            }
        }
        out.push_back(static_cast<uint8_t>(best));
        out.insert(out.end(), candidates[best].begin(), candidates[best].end());
    }
    return out;
}

}  // namespace

bool IsWhole(const RgbImage& image) {
    // PNG sizes are 31-bit numbers.
    if (image.width == 0 || image.height == 0 || image.width > 0x7FFFFFFF ||
        image.height > 0x7FFFFFFF)
        return false;
    const uint64_t bytes = uint64_t{image.width} * image.height * kBytesPerPixel;
    return bytes == image.pixels.size();
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
    constexpr uint32_t kModulus = 65521;
    uint32_t a = 1;
    uint32_t b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % kModulus;
        b = (b + a) % kModulus;
    }
    return b << 16 | a;
}

std::vector<uint8_t> Deflate(const uint8_t* data, size_t size) {
    std::vector<uint8_t> fixed = FixedBlock(data, size);
    std::vector<uint8_t> stored = StoredBlocks(data, size);
    return fixed.size() <= stored.size() ? fixed : stored;
}

std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size) {
    // Deflate with a 32 KiB window, no preset dictionary; the header's check bits make
    // 0x7801 a multiple of 31.
    std::vector<uint8_t> out = {0x78, 0x01};
    const std::vector<uint8_t> body = Deflate(data, size);
    out.insert(out.end(), body.begin(), body.end());
    PutBe32(out, Adler32(data, size));
    return out;
}

std::vector<uint8_t> Encode(const RgbImage& image) {
    if (!IsWhole(image)) return {};
    std::vector<uint8_t> out(std::begin(kSignature), std::end(kSignature));
    std::vector<uint8_t> header;
    PutBe32(header, image.width);
    PutBe32(header, image.height);
    // bit depth, colour type, compression (deflate), filter method (adaptive), no interlace
    header.insert(header.end(), {kBitDepth, kTruecolour, 0, 0, 0});
    PutChunk(out, "IHDR", header);
    const std::vector<uint8_t> rows = FilteredRows(image);
    PutChunk(out, "IDAT", ZlibCompress(rows.data(), rows.size()));
    PutChunk(out, "IEND", {});
    return out;
}

bool WriteFile(const std::string& path, const RgbImage& image, std::string& error) {
    const std::vector<uint8_t> bytes = Encode(image);
    if (bytes.empty()) {
        error = "the picture has no pixels, or not as many as its size says";
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = "cannot write " + path + " whole";
        return false;
    }
    return true;
}

}  // namespace png
