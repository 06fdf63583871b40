// The handheld's end of the packet link: it picks packets out of whatever the cable brings
// (lead-in bytes, noise, garbage) and frames its replies. Written apart from the desktop's
// receiver on purpose, so that a fault on either side shows up as a failed conversation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Packet {
    uint8_t type = 0;
    uint8_t id = 0;
    std::vector<uint8_t> body;
};

// Packet layout, big-endian: signature BE EF ED, destination and source socket, type, body
// size (u16), transaction id, header checksum (sum of bytes 0-8), body, CRC-16/XMODEM over
// header and body.
namespace frame {
constexpr size_t kHeaderSize = 10;
constexpr size_t kTypeAt = 5;
constexpr size_t kSizeAt = 6;
constexpr size_t kIdAt = 8;
constexpr size_t kChecksumAt = 9;
constexpr size_t kCrcSize = 2;
}  // namespace frame

class PacketReceiver {
public:
    // Bodies above `maxBody` are taken for garbage.
    explicit PacketReceiver(size_t maxBody);
    // One byte that arrived at `nowNs`. Every packet it completes is appended to `packets`.
    // A packet whose bytes stop coming for 200 ms is forgotten, so a mangled size field
    // cannot swallow the desktop's retry.
    void Feed(uint8_t byte, uint64_t nowNs, std::vector<Packet>& packets);
    void Clear() { buffer_.clear(); }
    // Frames thrown away (bad header checksum, body too large, bad CRC), for the trace.
    uint32_t Rejected() const { return rejected_; }

private:
    void Scan(std::vector<Packet>& packets);

    size_t maxBody_;
    std::vector<uint8_t> buffer_;
    uint64_t lastNs_ = 0;
    uint32_t rejected_ = 0;
};

std::vector<uint8_t> EncodePacket(uint8_t type, uint8_t id, const std::vector<uint8_t>& body);

inline uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t GetBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline void PutBe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    PutBe16(out, static_cast<uint16_t>(v >> 16));
    PutBe16(out, static_cast<uint16_t>(v));
}
