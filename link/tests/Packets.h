// Test equipment: packets as the handheld frames them, and a reader of what we sent. Kept
// independent of the code under test (a bit-by-bit CRC) so a shared mistake cannot
// cancel out.
#pragma once

#include <cstdint>
#include <vector>

#include "image/tests/TestUpd.h"

namespace testpkt {

inline uint16_t Crc(const std::vector<uint8_t>& bytes) {
    return testupd::BitwiseCrc(bytes.data(), bytes.size());
}

// Header, body and CRC, without the lead-in (the handheld sends none).
inline std::vector<uint8_t> Make(uint8_t id, uint8_t type, const std::vector<uint8_t>& body) {
    const auto size = static_cast<uint16_t>(body.size());
    std::vector<uint8_t> p = {0xBE, 0xEF, 0xED, 0, 0, type, uint8_t(size >> 8), uint8_t(size),
                              id};
    uint8_t sum = 0;
    for (uint8_t b : p) sum = static_cast<uint8_t>(sum + b);
    p.push_back(sum);
    p.insert(p.end(), body.begin(), body.end());
    const uint16_t crc = Crc(p);
    p.push_back(uint8_t(crc >> 8));
    p.push_back(uint8_t(crc));
    return p;
}

struct Sent {
    uint8_t id = 0;
    uint8_t type = 0;
    std::vector<uint8_t> body;
    bool intact = false;  // lead-in, signature, checksum and CRC all as they must be
};

// Splits everything written into packets (each with its 3-byte lead-in).
inline std::vector<Sent> Parse(const std::vector<uint8_t>& wire) {
    std::vector<Sent> out;
    size_t i = 0;
    while (i + 15 <= wire.size()) {
        Sent s;
        const uint8_t* p = wire.data() + i;
        const size_t size = size_t(p[9] << 8) | p[10];
        if (i + 15 + size > wire.size()) break;
        const std::vector<uint8_t> covered(p + 3, p + 13 + size);
        uint8_t sum = 0;
        for (int k = 3; k < 12; ++k) sum = static_cast<uint8_t>(sum + p[k]);
        s.intact = p[0] == 0x80 && p[1] == 0x80 && p[2] == 0x80 && p[3] == 0xBE &&
                   p[4] == 0xEF && p[5] == 0xED && p[12] == sum &&
                   Crc(covered) == ((p[13 + size] << 8) | p[14 + size]);
        s.type = p[8];
        s.id = p[11];
        s.body.assign(p + 13, p + 13 + size);
        out.push_back(s);
        i += 15 + size;
    }
    return out;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace testpkt
