#include "support/PaletteImage.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

TPaletteColor TPaletteImage::ColorAt(int x, int y) const {
    const uint8_t index = IndexAt(x, y);
    return index < palette.size() ? palette[index] : TPaletteColor{};
}

namespace {

// The information header of a device-independent bitmap (BITMAPINFOHEADER) and the headers
// that extend it (V4, V5, ...): little-endian, the colour table right after it.
namespace dib {
constexpr size_t kHeaderSize = 0;    // uint32: size of this header
constexpr size_t kWidth = 4;         // int32
constexpr size_t kHeight = 8;        // int32: negative for top-down rows
constexpr size_t kPlanes = 12;       // uint16: 1
constexpr size_t kBitCount = 14;     // uint16: bits per pixel
constexpr size_t kCompression = 16;  // uint32: 0 for plain rows
constexpr size_t kColorsUsed = 32;   // uint32: colour table entries, 0 for all 256
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kColorEntrySize = 4;  // blue, green, red, reserved
constexpr uint32_t kUncompressed = 0;
}  // namespace dib

// Larger than any picture of the program by far; keeps a damaged header from asking for
// gigabytes.
constexpr int32_t kMaxSide = 16384;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool Refuse(TPaletteImage& out, std::string* why, std::string reason) {
    out.Clear();
    if (why) *why = std::move(reason);
    return false;
}

}  // namespace

bool ReadPackedDib(const uint8_t* data, size_t size, TPaletteImage& out, std::string* why) {
    if (!data || size < dib::kInfoHeaderSize)
        return Refuse(out, why, "too short for a bitmap header");
    const uint32_t headerSize = Get32(data + dib::kHeaderSize);
    if (headerSize < dib::kInfoHeaderSize || headerSize > size)
        return Refuse(out, why,
                      "unknown bitmap header of " + std::to_string(headerSize) + " bytes");
    const auto width = static_cast<int32_t>(Get32(data + dib::kWidth));
    const auto height = static_cast<int32_t>(Get32(data + dib::kHeight));
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return Refuse(out, why,
                      "bad size " + std::to_string(width) + " x " + std::to_string(height));
    if (Get16(data + dib::kPlanes) != 1) return Refuse(out, why, "not a single-plane bitmap");
    const uint16_t bits = Get16(data + dib::kBitCount);
    if (bits != 8)
        return Refuse(out, why,
                      std::to_string(bits) + " bits per pixel, not an 8-bit palette bitmap");
    if (Get32(data + dib::kCompression) != dib::kUncompressed)
        return Refuse(out, why, "compressed rows");
    uint32_t colors = Get32(data + dib::kColorsUsed);
    if (colors == 0) colors = 256;
    if (colors > 256) return Refuse(out, why, std::to_string(colors) + " palette colours");

    // Everything below is bounded: header <= size, colours <= 256, sides <= kMaxSide.
    const size_t tableEnd = headerSize + size_t{colors} * dib::kColorEntrySize;
    const auto rows = static_cast<size_t>(std::abs(height));
    const size_t stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
    if (tableEnd > size || stride * rows > size - tableEnd)
        return Refuse(out, why, "bitmap cut short");

    TPaletteImage image;
    image.width = width;
    image.height = static_cast<int>(rows);
    image.palette.resize(colors);
    for (uint32_t i = 0; i < colors; ++i) {
        const uint8_t* entry = data + headerSize + size_t{i} * dib::kColorEntrySize;
        image.palette[i] = {entry[2], entry[1], entry[0]};
    }
    image.pixels.resize(static_cast<size_t>(width) * rows);
    const bool bottomUp = height > 0;
    for (size_t row = 0; row < rows; ++row) {
        const uint8_t* from = data + tableEnd + (bottomUp ? rows - 1 - row : row) * stride;
        std::copy(from, from + width, image.pixels.begin() + static_cast<ptrdiff_t>(row * width));
    }
    out = std::move(image);
    return true;
}

namespace {

int Distance(const TPaletteColor& a, const TPaletteColor& b) {
    const int r = a.red - b.red;
    const int g = a.green - b.green;
    const int bl = a.blue - b.blue;
    return r * r + g * g + bl * bl;
}

// The index in `target`'s palette for `color`: the same colour, else a new entry while
// there is room, else the nearest.
uint8_t IndexFor(std::vector<TPaletteColor>& palette, const TPaletteColor& color) {
    const auto same = std::find(palette.begin(), palette.end(), color);
    if (same != palette.end()) return static_cast<uint8_t>(same - palette.begin());
    if (palette.size() < 256) {
        palette.push_back(color);
        return static_cast<uint8_t>(palette.size() - 1);
    }
    size_t nearest = 0;
    for (size_t i = 1; i < palette.size(); ++i)
        if (Distance(palette[i], color) < Distance(palette[nearest], color)) nearest = i;
    return static_cast<uint8_t>(nearest);
}

}  // namespace

void DrawImage(TPaletteImage& target, TPoint at, const TPaletteImage& source) {
    if (target.Empty() || source.Empty()) return;
    // Pictures of one palette (the program's are drawn so) copy their indices as they are.
    std::array<uint8_t, 256> map{};
    const bool samePalette = source.palette == target.palette;
    std::array<bool, 256> mapped{};
    const int left = std::max(0, at.x);
    const int top = std::max(0, at.y);
    const int right =
        static_cast<int>(std::min<int64_t>(target.width, int64_t{at.x} + source.width));
    const int bottom =
        static_cast<int>(std::min<int64_t>(target.height, int64_t{at.y} + source.height));
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            uint8_t index = source.IndexAt(x - at.x, y - at.y);
            if (!samePalette) {
                if (!mapped[index]) {
                    map[index] = IndexFor(target.palette, index < source.palette.size()
                                                              ? source.palette[index]
                                                              : TPaletteColor{});
                    mapped[index] = true;
                }
                index = map[index];
            }
            target.pixels[static_cast<size_t>(y) * static_cast<size_t>(target.width) + x] = index;
        }
}

void FillRect(TPaletteImage& target, const TRect& rect, uint8_t index) {
    const int left = std::max(0, rect.left);
    const int top = std::max(0, rect.top);
    const int right = std::min(target.width, rect.right);
    const int bottom = std::min(target.height, rect.bottom);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            target.pixels[static_cast<size_t>(y) * static_cast<size_t>(target.width) + x] = index;
}
