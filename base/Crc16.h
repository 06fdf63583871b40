// CRC-16/XMODEM (polynomial 0x1021, initial value 0, not reflected, no final XOR): the
// checksum of the update file and of every packet on the serial link.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues `crc` over `length` bytes; start a fresh checksum with 0.
uint16_t Crc16Update(uint16_t crc, const void* data, std::size_t length);

inline uint16_t Crc16(const void* data, std::size_t length) { return Crc16Update(0, data, length); }
