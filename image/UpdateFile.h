// Reader of update files (*.UPD): the integrity check, the device code, the update map, the
// OS and RAM maps, sector extraction and the finalisation rule. Every operation reports a
// result code (never throws) and none reads outside the caller's buffers, whatever the file
// holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>

#include "base/ResultCodes.h"
#include "image/UpdateFileLayout.h"

using updfile::kSectorSize;

class UpdateImage;

// Called now and then while a file is read sector by sector, for a caller whose front end must
// stay alive through a read of the whole file; empty for none.
using ReadIdle = std::function<void()>;

// Sector 0 as far as it is read.
struct DesktopHeader {
    char sig[updfile::kSignatureLength + 1];  // always terminated, even when the file's isn't
    uint16_t versionMajor;
    uint16_t versionMinor;
    uint16_t crc;
    uint32_t sectors;  // covered by the CRC, following the header
    uint16_t device;
};

struct UpdateMap {
    uint32_t osMapStart;  // relative sector
    uint32_t osMapSectors;
    uint16_t finaliseFlag;
    uint32_t ramMapStart;  // relative sector
    uint32_t ramMapSectors;
};

struct OsSection {
    uint16_t crc;     // of the section's flash contents, as the loader reports it
    uint32_t sector;  // first relative sector of its data
    uint32_t size;    // in bytes; the file holds it rounded up to whole 4096-byte blocks
    uint32_t offset;  // from the start of the handheld's flash
};

struct RamSection {
    uint32_t sector;  // first relative sector of its data
    uint32_t size;    // in bytes
    uint32_t address;
};

struct OsMap {
    char sig[updfile::kSignatureLength + 1];
    uint16_t count;
    OsSection sections[updfile::osmap::kMaxSections];

    std::span<const OsSection> Sections() const { return {sections, count}; }
};

struct RamMap {
    uint16_t count;
    RamSection sections[updfile::rammap::kMaxSections];

    std::span<const RamSection> Sections() const { return {sections, count}; }
};

// The finalisation rule for the flash store after all OS sections are written: minor 3
// always, minor 4 and later when the update map's flag is set, older files never.
bool FinalisesFlashStore(uint16_t versionMinor, uint16_t finaliseFlag);

// An update file open for reading, from its path or from an image read before
// (image/UpdateImage.h). The file is closed when the object goes away.
class TUpdateFile {
public:
    TUpdateFile() = default;
    TUpdateFile(const TUpdateFile&) = delete;
    TUpdateFile& operator=(const TUpdateFile&) = delete;
    TUpdateFile(TUpdateFile&&) = default;
    TUpdateFile& operator=(TUpdateFile&&) = default;

    // False when the file cannot be opened, or is no regular file (a FIFO or a device would
    // block the reader or never end); the caller picks the code for that.
    bool Open(const char* path);
    // Reads `image` from now on; false for none.
    bool Attach(std::shared_ptr<const UpdateImage> image);
    bool IsOpen() const { return file_ != nullptr || image_ != nullptr; }
    void Close() {
        file_.reset();
        image_.reset();
    }

    // The size queries narrate failures and the header at other levels than the installers.
    void SetSizeQueryLogging(bool on) { sizeQueryLogging_ = on; }
    // From now on, `idle` is called after every few dozen sectors read.
    void SetIdle(ReadIdle idle) { idle_ = std::move(idle); }

    // Absolute sector k (file offset 512 * k, taken modulo 2^32 as a signed offset).
    [[nodiscard]] TResult ReadSector(uint32_t k, std::span<uint8_t, kSectorSize> buffer);

    // Sector 0, without checking it.
    [[nodiscard]] TResult ReadHeader(DesktopHeader& header);

    // The integrity check: signature, major version and the CRC over the covered sectors.
    [[nodiscard]] TResult Verify();

    // Each of these runs the integrity check first. An absent map (0 sectors) reads as an
    // empty one.
    [[nodiscard]] TResult ReadUpdateMap(UpdateMap& map);
    [[nodiscard]] TResult ReadOsMap(OsMap& map);
    [[nodiscard]] TResult ReadRamMap(RamMap& map);

    // `count` sectors from relative sector `start` into consecutive 512-byte slots of
    // `buffer`, which must hold them all (else -306 and nothing is read).
    [[nodiscard]] TResult ExtractSectors(uint32_t start, uint32_t count, std::span<uint8_t> buffer);

    // The finalise flag as the installer reads it, straight from its file offset.
    [[nodiscard]] TResult ReadFinaliseFlag(uint16_t& flag);

    // Whether the flash store is to be finalised: the header's minor version and, for minor
    // 4 and later, the finalise flag.
    [[nodiscard]] TResult ReadFinalisation(bool& finalise);

    // The whole file, as it must be before anything on a handheld is touched: the integrity
    // check and both maps, then that the header's sectors cover the maps and every section's
    // data (-310), that each OS section's data has the checksum its map gives it (-311),
    // that no two OS sections are written over the same flash (-312), and that no RAM
    // section runs past the end of the address space (-313).
    [[nodiscard]] TResult CheckWhole();

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    // `count` bytes at file offset `offset` (non-negative as a signed 32-bit offset) into `to`;
    // false when the file has fewer.
    bool ReadAt(int32_t offset, uint8_t* to, std::size_t count);
    [[nodiscard]] TResult ExtractKeeping(uint32_t start, uint32_t count, uint8_t* keep,
                                         std::size_t keepBytes);
    // The maps of an update map read and checked already.
    [[nodiscard]] TResult ReadOsMapOf(const UpdateMap& update, OsMap& map);
    [[nodiscard]] TResult ReadRamMapOf(const UpdateMap& update, RamMap& map);

    std::unique_ptr<std::FILE, Closer> file_;
    std::shared_ptr<const UpdateImage> image_;
    bool sizeQueryLogging_ = false;
    ReadIdle idle_;
    uint32_t sectorsSinceIdle_ = 0;
};

// The integrity check of the file at `path`; -308 when it cannot be opened.
[[nodiscard]] TResult VerifyUpdateFile(const char* path);

// TUpdateFile::CheckWhole of the file at `path`; -308 when it cannot be opened. `idle` is
// called as the file is read (see TUpdateFile::SetIdle).
[[nodiscard]] TResult CheckUpdateFile(const char* path, const ReadIdle& idle = {});

// The device code of the header; 0 when the file or its first sector cannot be read.
uint16_t IMGDevice(const char* path);

// The end of the highest OS section (largest flash offset + size), saturated at 0xFFFFFFFF;
// 0 on any failure or without OS sections. Reading the map checks the whole file's integrity
// first; `idle` is called meanwhile.
uint32_t UpdateFileOsSize(const char* path, const ReadIdle& idle = {});

// The sum of the RAM section sizes, saturated at 0xFFFFFFFF; 0 on any failure or without RAM
// sections. Likewise with `idle`.
uint32_t UpdateFileRamSize(const char* path, const ReadIdle& idle = {});
