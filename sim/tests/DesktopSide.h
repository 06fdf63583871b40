// The desktop's half of a conversation with the simulated handheld, straight into its model
// (no line): requests framed by the independent wire helper, replies picked out of what the
// handheld sends.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/Handheld.h"
#include "testing/Wire.h"

namespace desk {

using wire::Be16;
using wire::Be32;
using wire::Cat;
using Reply = wire::Frame;

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return wire::Get32(b, at); }
inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return wire::Get16(b, at); }

// A request as the desktop frames it. Here, as in Ask, the command comes before the id.
inline std::vector<uint8_t> Request(uint8_t type, uint8_t id, const std::vector<uint8_t>& body) {
    return wire::Request(id, type, body);
}

inline std::vector<Reply> Replies(const std::vector<uint8_t>& bytes) {
    return wire::ReceivedPackets(bytes);
}

// Everything the handheld sends, in order, as one stream.
inline std::vector<uint8_t> Drain(Handheld& handheld) {
    std::vector<uint8_t> bytes;
    Transmission transmission;
    while (handheld.TakeTransmission(transmission))
        bytes.insert(bytes.end(), transmission.bytes.begin(), transmission.bytes.end());
    return bytes;
}

// One request, straight into the handheld, and the replies it caused.
inline std::vector<Reply> Ask(Handheld& handheld, uint8_t type, uint8_t id,
                              const std::vector<uint8_t>& body, uint64_t nowNs = 0) {
    const std::vector<uint8_t> request = Request(type, id, body);
    handheld.Receive(request.data(), request.size(), nowNs);
    return Replies(Drain(handheld));
}

}  // namespace desk
