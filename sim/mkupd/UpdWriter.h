// Lays out an update file from a description: header, update map, OS map, RAM map, then the
// section data. It can also spoil a file in one chosen way, for the reader's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/mkupd/Description.h"

enum class UpdBreak {
    None,
    Signature,              // header signature text differs
    SignatureUnterminated,  // 16th signature byte not zero
    MapSignature,           // update map signature differs
    Major2,                 // version major 2
    Crc,                    // header CRC does not match
    OsMap1,                 // update map claims an OS map of 1, 2, 3 or 5 sectors
    OsMap2,
    OsMap3,
    OsMap5,
    Truncated,    // the last sector cut short
    OsCount,      // 101 OS sections claimed
    RamCount,     // 501 RAM sections claimed
    RamMapShort,  // more RAM sections claimed than the map's bytes hold
    // Files the CRC vouches for that are damaged all the same.
    Sectors0,    // the header covers no sectors (the CRC of nothing is 0)
    SectionCrc,  // the first OS section's checksum is not that of its data
    Overlap,     // the second OS section is written over the first one's flash
    RamWrap,     // the first RAM section runs past the end of the address space
};

struct UpdBreakName {
    UpdBreak kind;
    const char* name;
    const char* summary;
};

// Every kind with its command-line name, None first.
extern const UpdBreakName kUpdBreaks[];
extern const std::size_t kUpdBreakCount;

// The file's bytes, or false with a message when the description cannot be laid out
// (too many sections, a file past 2 GiB).
bool BuildUpdateFile(const UpdDescription& d, UpdBreak spoil, std::vector<uint8_t>& file,
                     std::string& error);
