// Test equipment: the serial wire as an independent party sees it. Big-endian numbers,
// packets framed and picked apart, and a CRC computed bit by bit. It shares nothing with the
// code under test (the engine's CRC table, its framing, the simulated handheld's receiver),
// so a mistake there cannot cancel itself out here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace wire {

using Bytes = std::vector<uint8_t>;

// CRC-16/XMODEM, one bit at a time.
uint16_t Crc(const uint8_t* data, std::size_t length);
inline uint16_t Crc(const Bytes& bytes) { return Crc(bytes.data(), bytes.size()); }

inline Bytes Be16(uint16_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
inline Bytes Be32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
Bytes Cat(std::initializer_list<Bytes> parts);

// Big-endian numbers at a byte offset of a buffer that already holds them.
void Put16(Bytes& b, std::size_t at, uint32_t v);
void Put32(Bytes& b, std::size_t at, uint32_t v);
uint16_t Get16(const Bytes& b, std::size_t at);
uint32_t Get32(const Bytes& b, std::size_t at);

// A packet: header signed BE EF ED, body and CRC, without the lead-in (the handheld sends
// none).
Bytes Packet(uint8_t id, uint8_t type, const Bytes& body);
// A packet as the desktop sends it: the three lead-in bytes, then the packet.
Bytes Request(uint8_t id, uint8_t type, const Bytes& body);

struct Frame {
    uint8_t id = 0;
    uint8_t type = 0;
    Bytes body;
    bool intact = false;  // lead-in (where expected), signature, checksum and CRC as they must be
};

// Splits everything the desktop wrote into its packets, each expected with its lead-in.
std::vector<Frame> SentPackets(const Bytes& wire);
// Every well-formed packet in a stream of received bytes, in order; anything else (noise,
// broken packets) is skipped a byte at a time.
std::vector<Frame> ReceivedPackets(const Bytes& bytes);

}  // namespace wire
