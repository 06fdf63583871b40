#include "image/UpdateFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Crc16.h"
#include "base/Log.h"
#include "image/UpdateImage.h"

namespace {

using namespace updfile;

// A signature field is a zero-terminated text of at most 16 bytes, so a 16th byte that is
// not zero makes it differ from the expected text.
bool SignatureIs(const uint8_t* field, const char* expected) {
    return std::strncmp(reinterpret_cast<const char*>(field), expected, kSignatureLength) == 0;
}

void CopySignature(char (&to)[kSignatureLength + 1], const uint8_t* field) {
    std::memcpy(to, field, kSignatureLength);
    to[kSignatureLength] = '\0';
}

uint32_t SaturatingAdd(uint32_t a, uint32_t b) { return b > UINT32_MAX - a ? UINT32_MAX : a + b; }

// 32 KiB between two calls of the idle: well under a millisecond of reading and checksumming.
constexpr uint32_t kSectorsPerIdle = 64;

}  // namespace

bool FinalisesFlashStore(uint16_t versionMinor, uint16_t finaliseFlag) {
    if (versionMinor == 3) return true;
    if (versionMinor >= 4) return finaliseFlag != 0;
    return false;
}

bool TUpdateFile::Open(const char* path) {
    Close();
    if (!path) return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) return false;
    file_.reset(std::fopen(path, "rb"));
    return IsOpen();
}

bool TUpdateFile::Attach(std::shared_ptr<const UpdateImage> image) {
    Close();
    image_ = std::move(image);
    return IsOpen();
}

bool TUpdateFile::ReadAt(int32_t offset, uint8_t* to, std::size_t count) {
    if (image_) {
        const std::span<const uint8_t> bytes = image_->Bytes();
        const auto at = static_cast<std::size_t>(offset);
        if (at > bytes.size() || bytes.size() - at < count) return false;
        std::memcpy(to, bytes.data() + at, count);
        return true;
    }
    return file_ && std::fseek(file_.get(), offset, SEEK_SET) == 0 &&
           std::fread(to, 1, count, file_.get()) == count;
}

TResult TUpdateFile::ReadSector(uint32_t k, std::span<uint8_t, kSectorSize> buffer) {
    if (!IsOpen()) return rc::UpdateReadError;
    // Every read of a whole file comes through here, one sector at a time.
    if (idle_ && ++sectorsSinceIdle_ >= kSectorsPerIdle) {
        sectorsSinceIdle_ = 0;
        idle_();
    }
    // The offset is 32-bit on purpose: from 2 GiB on it turns negative and fails, and past
    // 4 GiB it wraps.
    const uint32_t offset = static_cast<uint32_t>(k * kSectorSize);
    const int32_t signedOffset = static_cast<int32_t>(offset);
    if (signedOffset < 0) {
        if (sizeQueryLogging_)
            PrintMessage(0, "err: seek offset %lx", static_cast<unsigned long>(offset));
        return rc::UpdateReadError;
    }
    if (!ReadAt(signedOffset, buffer.data(), kSectorSize)) {
        if (sizeQueryLogging_) PrintMessage(0, "err: read sector");
        return rc::UpdateReadError;
    }
    return rc::Success;
}

TResult TUpdateFile::ReadHeader(DesktopHeader& header) {
    uint8_t sector[kSectorSize];
    if (const TResult r = ReadSector(0, sector)) return r;
    CopySignature(header.sig, sector + header::kSig);
    header.versionMajor = byteorder::GetBE16(sector + header::kVersionMajor);
    header.versionMinor = byteorder::GetBE16(sector + header::kVersionMinor);
    header.crc = byteorder::GetBE16(sector + header::kCrc);
    header.sectors = byteorder::GetBE32(sector + header::kSectors);
    header.device = byteorder::GetBE16(sector + header::kDevice);
    return rc::Success;
}

TResult TUpdateFile::Verify() {
    DesktopHeader header;
    if (const TResult r = ReadHeader(header)) return r;
    PrintMessage(sizeQueryLogging_ ? 5 : 8, "Desktop header: sig %s, version %i.%i sectors: %lx\n",
                 header.sig, header.versionMajor, header.versionMinor,
                 static_cast<unsigned long>(header.sectors));
    if (std::strcmp(header.sig, header::kSignature) != 0) return rc::InvalidUpdateFile;
    if (header.versionMajor != header::kSupportedMajor) return rc::UpdateVersionError;

    std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[kSectorSize]);
    if (!work) return rc::UpdateOutOfMemory;
    const std::span<uint8_t, kSectorSize> sector(work.get(), kSectorSize);
    uint16_t crc = 0;
    // Counts in 64 bits so that a count of 0xFFFFFFFF still ends (at the end of the file).
    for (uint64_t i = 1; i <= header.sectors; ++i) {
        if (const TResult r = ReadSector(static_cast<uint32_t>(i), sector)) return r;
        crc = Crc16Update(crc, sector.data(), kSectorSize);
    }
    if (crc != header.crc) return rc::UpdateCrcError;
    PrintMessage(2, "\nOS Update File valid\n");
    return rc::Success;
}

TResult TUpdateFile::ReadUpdateMap(UpdateMap& map) {
    if (const TResult r = Verify()) return r;
    uint8_t sector[kSectorSize];
    if (const TResult r = ReadSector(updatemap::kAbsoluteSector, sector)) return r;
    if (!SignatureIs(sector + updatemap::kSig, updatemap::kSignature)) return rc::InvalidUpdateFile;
    map.osMapStart = byteorder::GetBE32(sector + updatemap::kOsMapStart);
    map.osMapSectors = byteorder::GetBE32(sector + updatemap::kOsMapSectors);
    map.finaliseFlag = byteorder::GetBE16(sector + updatemap::kFinaliseFlag);
    map.ramMapStart = byteorder::GetBE32(sector + updatemap::kRamMapStart);
    map.ramMapSectors = byteorder::GetBE32(sector + updatemap::kRamMapSectors);
    PrintMessage(7, "Update Map Read\n");
    return rc::Success;
}

TResult TUpdateFile::ReadOsMap(OsMap& map) {
    map.sig[0] = '\0';
    map.count = 0;
    UpdateMap update;
    if (const TResult r = ReadUpdateMap(update)) return r;
    return ReadOsMapOf(update, map);
}

TResult TUpdateFile::ReadOsMapOf(const UpdateMap& update, OsMap& map) {
    map.sig[0] = '\0';
    map.count = 0;
    if (update.osMapSectors == 0) return rc::Success;
    if (update.osMapSectors != osmap::kSectors) return rc::InvalidUpdateFile;

    uint8_t bytes[osmap::kSectors * kSectorSize];
    if (const TResult r = ExtractSectors(update.osMapStart, osmap::kSectors, bytes)) return r;
    CopySignature(map.sig, bytes + osmap::kSig);
    PrintMessage(5, "Os map sig: %s\n", map.sig);
    const uint16_t count = byteorder::GetBE16(bytes + osmap::kCount);
    if (count > osmap::kMaxSections) return rc::InvalidUpdateFile;
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes + osmap::kFirstSection + osmap::kSectionSize * i;
        map.sections[i] = {
            byteorder::GetBE16(p + osmap::kCrc), byteorder::GetBE32(p + osmap::kSector),
            byteorder::GetBE32(p + osmap::kSize), byteorder::GetBE32(p + osmap::kOffset)};
    }
    map.count = count;
    PrintMessage(5, "OS map read\n");
    return rc::Success;
}

TResult TUpdateFile::ReadRamMap(RamMap& map) {
    map.count = 0;
    UpdateMap update;
    if (const TResult r = ReadUpdateMap(update)) return r;
    return ReadRamMapOf(update, map);
}

TResult TUpdateFile::ReadRamMapOf(const UpdateMap& update, RamMap& map) {
    map.count = 0;
    if (update.ramMapSectors == 0) return rc::Success;

    // Every sector of the map is read (a short file is a read error), but only the first
    // 6018 bytes are kept, so a huge sector count costs time, not memory.
    uint8_t bytes[rammap::kMaxUsedBytes];
    const auto used = static_cast<std::size_t>(
        std::min<uint64_t>(uint64_t{update.ramMapSectors} * kSectorSize, rammap::kMaxUsedBytes));
    if (const TResult r = ExtractKeeping(update.ramMapStart, update.ramMapSectors, bytes, used))
        return r;
    const uint16_t count = byteorder::GetBE16(bytes + rammap::kCount);
    if (count > rammap::kMaxSections || rammap::kFirstSection + rammap::kSectionSize * count > used)
        return rc::InvalidUpdateFile;
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes + rammap::kFirstSection + rammap::kSectionSize * i;
        map.sections[i] = {byteorder::GetBE32(p + rammap::kSector),
                           byteorder::GetBE32(p + rammap::kSize),
                           byteorder::GetBE32(p + rammap::kAddress)};
    }
    map.count = count;
    PrintMessage(5, "RAM map read\n");
    return rc::Success;
}

TResult TUpdateFile::ExtractSectors(uint32_t start, uint32_t count, std::span<uint8_t> buffer) {
    const uint64_t bytes = uint64_t{count} * kSectorSize;
    if (bytes > buffer.size()) return rc::UpdateOutOfMemory;
    return ExtractKeeping(start, count, buffer.data(), static_cast<std::size_t>(bytes));
}

TResult TUpdateFile::ExtractKeeping(uint32_t start, uint32_t count, uint8_t* keep,
                                    std::size_t keepBytes) {
    PrintMessage(9, "Extracting: sector:%lx length:%lx\n", static_cast<unsigned long>(start),
                 static_cast<unsigned long>(count));
    uint8_t sector[kSectorSize];
    for (uint32_t i = 0; i < count; ++i) {
        // Sector numbers wrap in 32 bits, as the offsets computed from them do.
        if (const TResult r = ReadSector(start + 1 + i, sector)) return r;
        const uint64_t at = uint64_t{i} * kSectorSize;
        if (at < keepBytes) {
            const std::size_t n = std::min(kSectorSize, keepBytes - static_cast<std::size_t>(at));
            std::memcpy(keep + at, sector, n);
        }
    }
    return rc::Success;
}

TResult TUpdateFile::ReadFinaliseFlag(uint16_t& flag) {
    if (!IsOpen()) return rc::UpdateReadError;
    uint8_t bytes[2];
    if (!ReadAt(static_cast<int32_t>(updatemap::kFinaliseFlagFileOffset), bytes, sizeof bytes))
        return rc::UpdateReadError;
    flag = byteorder::GetBE16(bytes);
    return rc::Success;
}

TResult TUpdateFile::ReadFinalisation(bool& finalise) {
    finalise = false;
    DesktopHeader header;
    if (const TResult r = ReadHeader(header)) return r;
    uint16_t flag = 0;
    if (header.versionMinor >= 4) {
        if (const TResult r = ReadFinaliseFlag(flag)) return r;
    }
    finalise = FinalisesFlashStore(header.versionMinor, flag);
    return rc::Success;
}

TResult TUpdateFile::CheckWhole() {
    DesktopHeader header;
    UpdateMap update;
    // Reading the update map runs the integrity check first.
    if (const TResult r = ReadHeader(header)) return r;
    if (const TResult r = ReadUpdateMap(update)) return r;

    // Relative sectors 0 .. sectors - 1 are the ones the CRC vouches for; data anywhere else
    // could be anything. 64-bit, so that no start and length can wrap into range.
    const uint64_t covered = header.sectors;
    const auto inside = [covered](uint64_t first, uint64_t count) {
        return first + count <= covered;
    };
    // A map of no sectors is absent, wherever its start points.
    if (!inside(0, 1) || (update.osMapSectors && !inside(update.osMapStart, update.osMapSectors)) ||
        (update.ramMapSectors && !inside(update.ramMapStart, update.ramMapSectors)))
        return rc::UpdateNotCovered;
    // The integrity check above vouches for the maps: not once more for each.
    OsMap os;
    RamMap ram;
    if (const TResult r = ReadOsMapOf(update, os)) return r;
    if (const TResult r = ReadRamMapOf(update, ram)) return r;

    struct Span {
        uint64_t begin, end;
    };
    std::vector<Span> written;
    uint8_t block[osmap::kBlockSize];
    for (const OsSection& s : os.Sections()) {
        // The data goes to flash in whole blocks, padding included.
        const uint64_t blocks = (uint64_t{s.size} + osmap::kBlockSize - 1) / osmap::kBlockSize;
        constexpr uint32_t kSectorsPerBlock = osmap::kBlockSize / kSectorSize;
        if (!inside(s.sector, blocks * kSectorsPerBlock)) return rc::UpdateNotCovered;
        uint16_t crc = 0;
        uint32_t left = s.size;
        for (uint64_t b = 0; b < blocks; ++b) {
            const auto sector = static_cast<uint32_t>(s.sector + b * kSectorsPerBlock);
            if (const TResult r = ExtractSectors(sector, kSectorsPerBlock, block)) return r;
            const uint32_t n = std::min<uint32_t>(left, osmap::kBlockSize);
            crc = Crc16Update(crc, block, n);
            left -= n;
        }
        if (crc != s.crc) return rc::SectionCrcError;
        if (blocks) written.push_back({s.offset, s.offset + blocks * osmap::kBlockSize});
    }
    std::sort(written.begin(), written.end(),
              [](const Span& a, const Span& b) { return a.begin < b.begin; });
    for (size_t i = 1; i < written.size(); ++i)
        if (written[i].begin < written[i - 1].end) return rc::SectionsOverlap;

    for (const RamSection& s : ram.Sections()) {
        const uint64_t sectors = (uint64_t{s.size} + kSectorSize - 1) / kSectorSize;
        if (!inside(s.sector, sectors)) return rc::UpdateNotCovered;
        if (uint64_t{s.address} + s.size > (uint64_t{1} << 32)) return rc::RamOutside;
    }
    return rc::Success;
}

namespace {

// The queries below, of a file open either way; `name` is what the log calls it.
uint16_t DeviceOf(TUpdateFile& file) {
    PrintMessage(3, "IMGDevice()\n");
    DesktopHeader header;
    if (!file.IsOpen() || file.ReadHeader(header) != rc::Success) return 0;
    return header.device;
}

void StartSizeQuery(TUpdateFile& file, const char* what, const std::string& name,
                    const ReadIdle& idle) {
    PrintMessage(0, "Open file (%s) %s", what, name.c_str());
    file.SetSizeQueryLogging(true);
    file.SetIdle(idle);
}

uint32_t OsSizeOf(TUpdateFile& file, const std::string& name, const ReadIdle& idle) {
    if (!file.IsOpen()) return 0;
    StartSizeQuery(file, "flash size", name, idle);
    OsMap map;
    if (file.ReadOsMap(map) != rc::Success) return 0;
    uint32_t end = 0;
    // A section that reaches past 4 GiB must not wrap into a small size that would pass
    // the capacity check.
    for (const OsSection& s : map.Sections()) end = std::max(end, SaturatingAdd(s.offset, s.size));
    return end;
}

uint32_t RamSizeOf(TUpdateFile& file, const std::string& name, const ReadIdle& idle) {
    if (!file.IsOpen()) return 0;
    StartSizeQuery(file, "ram size", name, idle);
    RamMap map;
    if (file.ReadRamMap(map) != rc::Success) return 0;
    uint32_t sum = 0;
    for (const RamSection& s : map.Sections()) sum = SaturatingAdd(sum, s.size);
    return sum;
}

TResult CheckOf(TUpdateFile& file, const ReadIdle& idle) {
    if (!file.IsOpen()) return rc::UpdateOpenError;
    file.SetIdle(idle);
    return file.CheckWhole();
}

TUpdateFile Opened(const char* path) {
    TUpdateFile file;
    (void)file.Open(path);
    return file;
}

TUpdateFile Attached(const std::shared_ptr<const UpdateImage>& image) {
    TUpdateFile file;
    (void)file.Attach(image);
    return file;
}

}  // namespace

TResult CheckUpdateFile(const char* path, const ReadIdle& idle) {
    TUpdateFile file = Opened(path);
    return CheckOf(file, idle);
}

TResult VerifyUpdateFile(const char* path) {
    TUpdateFile file;
    if (!file.Open(path)) return rc::UpdateOpenError;
    return file.Verify();
}

uint16_t IMGDevice(const char* path) {
    TUpdateFile file = Opened(path);
    return DeviceOf(file);
}

uint32_t UpdateFileOsSize(const char* path, const ReadIdle& idle) {
    TUpdateFile file = Opened(path);
    return OsSizeOf(file, path ? path : "", idle);
}

uint32_t UpdateFileRamSize(const char* path, const ReadIdle& idle) {
    TUpdateFile file = Opened(path);
    return RamSizeOf(file, path ? path : "", idle);
}

TResult CheckUpdateImage(const std::shared_ptr<const UpdateImage>& image, const ReadIdle& idle) {
    TUpdateFile file = Attached(image);
    return CheckOf(file, idle);
}

uint16_t ImageDevice(const std::shared_ptr<const UpdateImage>& image) {
    TUpdateFile file = Attached(image);
    return DeviceOf(file);
}

uint32_t ImageOsSize(const std::shared_ptr<const UpdateImage>& image, const ReadIdle& idle) {
    TUpdateFile file = Attached(image);
    return OsSizeOf(file, image ? image->Name() : "", idle);
}

uint32_t ImageRamSize(const std::shared_ptr<const UpdateImage>& image, const ReadIdle& idle) {
    TUpdateFile file = Attached(image);
    return RamSizeOf(file, image ? image->Name() : "", idle);
}
