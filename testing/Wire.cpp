#include "testing/Wire.h"

namespace wire {

namespace {
constexpr std::size_t kHeader = 10;
constexpr std::size_t kLeadIn = 3;
constexpr std::size_t kFooter = 2;
}  // namespace

uint16_t Crc(const uint8_t* data, std::size_t length) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= unsigned{data[i]} << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        crc &= 0xFFFF;
    }
    return static_cast<uint16_t>(crc);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

void Put16(Bytes& b, std::size_t at, uint32_t v) {
    b.at(at) = static_cast<uint8_t>(v >> 8);
    b.at(at + 1) = static_cast<uint8_t>(v);
}

void Put32(Bytes& b, std::size_t at, uint32_t v) {
    Put16(b, at, v >> 16);
    Put16(b, at + 2, v & 0xFFFF);
}

uint16_t Get16(const Bytes& b, std::size_t at) {
    return static_cast<uint16_t>(b.at(at) << 8 | b.at(at + 1));
}

uint32_t Get32(const Bytes& b, std::size_t at) {
    return uint32_t{Get16(b, at)} << 16 | Get16(b, at + 2);
}

Bytes Packet(uint8_t id, uint8_t type, const Bytes& body) {
    const auto size = static_cast<uint16_t>(body.size());
    Bytes p = {
        0xBE, 0xEF, 0xED, 0, 0, type, static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size),
        id};
    uint8_t sum = 0;
    for (uint8_t b : p) sum = static_cast<uint8_t>(sum + b);
    p.push_back(sum);
    p.insert(p.end(), body.begin(), body.end());
    const uint16_t crc = Crc(p);
    p.push_back(static_cast<uint8_t>(crc >> 8));
    p.push_back(static_cast<uint8_t>(crc));
    return p;
}

Bytes Request(uint8_t id, uint8_t type, const Bytes& body) {
    return Cat({{0x80, 0x80, 0x80}, Packet(id, type, body)});
}

namespace {

// The packet at p (signature first) if it is well formed and complete within `available`.
bool ReadPacket(const uint8_t* p, std::size_t available, Frame& frame, std::size_t& length) {
    if (available < kHeader + kFooter) return false;
    const std::size_t size = std::size_t(p[6] << 8) | p[7];
    if (available < kHeader + size + kFooter) return false;
    uint8_t sum = 0;
    for (std::size_t k = 0; k < kHeader - 1; ++k) sum = static_cast<uint8_t>(sum + p[k]);
    frame.intact = p[0] == 0xBE && p[1] == 0xEF && p[2] == 0xED && p[9] == sum &&
                   Crc(p, kHeader + size) == ((p[kHeader + size] << 8) | p[kHeader + size + 1]);
    frame.type = p[5];
    frame.id = p[8];
    frame.body.assign(p + kHeader, p + kHeader + size);
    length = kHeader + size + kFooter;
    return true;
}

}  // namespace

std::vector<Frame> SentPackets(const Bytes& wire) {
    std::vector<Frame> out;
    std::size_t i = 0;
    while (i + kLeadIn < wire.size()) {
        Frame frame;
        std::size_t length = 0;
        const uint8_t* p = wire.data() + i;
        if (!ReadPacket(p + kLeadIn, wire.size() - i - kLeadIn, frame, length)) break;
        frame.intact = frame.intact && p[0] == 0x80 && p[1] == 0x80 && p[2] == 0x80;
        out.push_back(std::move(frame));
        i += kLeadIn + length;
    }
    return out;
}

std::vector<Frame> ReceivedPackets(const Bytes& bytes) {
    std::vector<Frame> out;
    std::size_t at = 0;
    while (at < bytes.size()) {
        Frame frame;
        std::size_t length = 0;
        if (ReadPacket(bytes.data() + at, bytes.size() - at, frame, length) && frame.intact) {
            out.push_back(std::move(frame));
            at += length;
        } else {
            ++at;
        }
    }
    return out;
}

}  // namespace wire
