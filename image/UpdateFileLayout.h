// Byte layout of an update file (*.UPD): 512-byte sectors, big-endian numbers. Absolute
// sector k starts at file offset 512 * k; the maps name relative sectors, where relative
// sector s is absolute sector s + 1. Both the reader and the tools that write these files
// take their offsets from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace updfile {

constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kSignatureLength = 16;  // text plus its terminating zero

// Sector 0, the desktop header.
namespace header {
constexpr char kSignature[] = ">OS UPDATE FILE";
constexpr std::size_t kSig = 0;
constexpr std::size_t kVersionMajor = 16;
constexpr std::size_t kVersionMinor = 18;
constexpr std::size_t kCrc = 20;  // over absolute sectors 1 ... sectors
constexpr std::size_t kSectors = 22;
constexpr std::size_t kDevice = 26;
constexpr uint16_t kSupportedMajor = 1;
}  // namespace header

// Absolute sector 1, the update map.
namespace updatemap {
constexpr std::uint32_t kAbsoluteSector = 1;
constexpr char kSignature[] = ">KVR UPDATE MAP";
constexpr std::size_t kSig = 0;
constexpr std::size_t kOsMapStart = 18;
constexpr std::size_t kOsMapSectors = 22;
constexpr std::size_t kFinaliseFlag = 62;
constexpr std::size_t kRamMapStart = 66;
constexpr std::size_t kRamMapSectors = 70;
// The installer reads the finalise flag straight from the file, not from the map it read.
constexpr long kFinaliseFlagFileOffset = kAbsoluteSector * kSectorSize + kFinaliseFlag;  // 574
}  // namespace updatemap

namespace osmap {
constexpr std::uint32_t kSectors = 4;  // the only length besides 0 (no OS sections)
constexpr std::size_t kSig = 0;        // logged, never compared
constexpr std::size_t kCount = 16;
constexpr std::size_t kFirstSection = 18;
constexpr std::size_t kSectionSize = 14;
constexpr std::size_t kMaxSections = 100;
// Within one section.
constexpr std::size_t kCrc = 0;
constexpr std::size_t kSector = 2;
constexpr std::size_t kSize = 6;
constexpr std::size_t kOffset = 10;
// OS data goes to flash in whole blocks of this size.
constexpr std::uint32_t kBlockSize = 4096;
}  // namespace osmap

namespace rammap {
constexpr std::size_t kCount = 16;
constexpr std::size_t kFirstSection = 18;
constexpr std::size_t kSectionSize = 12;
constexpr std::size_t kMaxSections = 500;
constexpr std::size_t kMaxUsedBytes = 6018;  // of a longer map only this much is used
// Within one section.
constexpr std::size_t kSector = 0;
constexpr std::size_t kSize = 4;
constexpr std::size_t kAddress = 8;
// RAM data is read in chunks of at most this size, each as whole sectors.
constexpr std::uint32_t kChunkSize = 4096;
}  // namespace rammap

}  // namespace updfile
