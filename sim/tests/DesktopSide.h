// The desktop's half of a conversation with the simulated handheld, kept deliberately plain:
// requests framed with the lead-in, replies picked out of a byte stream packet by packet.
// It shares nothing with the handheld's own framing, so a fault there cannot hide itself.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Crc16.h"
#include "sim/Handheld.h"

namespace desk {

inline std::vector<uint8_t> Be16(uint16_t v) {
    return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
inline std::vector<uint8_t> Be32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}
inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

inline std::vector<uint8_t> Request(uint8_t type, uint8_t id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> packet = {0xBE,
                                   0xEF,
                                   0xED,
                                   0,
                                   0,
                                   type,
                                   static_cast<uint8_t>(body.size() >> 8),
                                   static_cast<uint8_t>(body.size()),
                                   id};
    unsigned sum = 0;
    for (uint8_t b : packet) sum += b;
    packet.push_back(static_cast<uint8_t>(sum));
    packet.insert(packet.end(), body.begin(), body.end());
    const uint16_t crc = Crc16(packet.data(), packet.size());
    packet.push_back(static_cast<uint8_t>(crc >> 8));
    packet.push_back(static_cast<uint8_t>(crc));
    packet.insert(packet.begin(), {0x80, 0x80, 0x80});
    return packet;
}

struct Reply {
    uint8_t type;
    uint8_t id;
    std::vector<uint8_t> body;
};

// Every well-formed packet in `bytes`, in order; anything else is skipped a byte at a time.
inline std::vector<Reply> Replies(const std::vector<uint8_t>& bytes) {
    std::vector<Reply> replies;
    size_t at = 0;
    while (at + 12 <= bytes.size()) {
        const uint8_t* p = &bytes[at];
        unsigned sum = 0;
        for (int i = 0; i < 9; ++i) sum += p[i];
        const size_t size = static_cast<size_t>(p[6] << 8 | p[7]);
        if (p[0] != 0xBE || p[1] != 0xEF || p[2] != 0xED || (sum & 0xFF) != p[9] ||
            at + 12 + size > bytes.size() ||
            Crc16(p, 10 + size) != (p[10 + size] << 8 | p[11 + size])) {
            ++at;
            continue;
        }
        replies.push_back({p[5], p[8], std::vector<uint8_t>(p + 10, p + 10 + size)});
        at += 12 + size;
    }
    return replies;
}

// Everything the handheld sends, in order, as one stream.
inline std::vector<uint8_t> Drain(Handheld& handheld) {
    std::vector<uint8_t> bytes;
    Transmission transmission;
    while (handheld.TakeTransmission(transmission))
        bytes.insert(bytes.end(), transmission.bytes.begin(), transmission.bytes.end());
    return bytes;
}

// One request, straight into the handheld (no line), and the replies it caused.
inline std::vector<Reply> Ask(Handheld& handheld, uint8_t type, uint8_t id,
                              const std::vector<uint8_t>& body, uint64_t nowNs = 0) {
    const std::vector<uint8_t> request = Request(type, id, body);
    handheld.Receive(request.data(), request.size(), nowNs);
    return Replies(Drain(handheld));
}

}  // namespace desk
