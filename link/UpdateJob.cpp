#include "link/UpdateJob.h"

#include <algorithm>
#include <new>

#include "base/Crc16.h"
#include "base/Log.h"
#include "link/Guicallback.h"
#include "link/Loader.h"

namespace {

constexpr uint32_t kBlockSize = updfile::osmap::kBlockSize;  // one FB, 8 sectors
constexpr uint32_t kSector = static_cast<uint32_t>(kSectorSize);
constexpr uint32_t kSectorsPerBlock = kBlockSize / kSector;
constexpr uint32_t kThousandsPerBlock = 4;  // how far one block moves the progress count
constexpr uint32_t kRamChunk = updfile::rammap::kChunkSize;
static_assert(kRamChunk <= kBlockSize);

constexpr int32_t kProgressFlashed = 99;
constexpr int32_t kProgressDone = 100;

uint32_t Thousands(uint32_t bytes) { return bytes / 1000; }

template <typename Section>
uint32_t TotalThousands(std::span<const Section> sections) {
    uint32_t total = 0;
    for (const Section& s : sections) total += Thousands(s.size);
    return total;
}

void LogHeader(const DesktopHeader& header) {
    PrintMessage(8, "Desktop header: sig %s, version %i.%i sectors: %lx\n", header.sig,
                 header.versionMajor, header.versionMinor,
                 static_cast<unsigned long>(header.sectors));
}

}  // namespace

int32_t ProgressPercent(uint32_t x, uint32_t total, bool advancedMode) {
    if (total == 0) return kProgressDone;
    // A section's blocks count 4 each, ahead of its size in thousands when the size is not a
    // multiple of 4096; past 99 the upload page would take the value for a RAM part's.
    const uint64_t part = std::min(x, total);
    const uint64_t value = advancedMode ? 5 + part * 94 / total : 1 + part * 98 / total;
    return static_cast<int32_t>(value);
}

TResult CheckSectionsFit(const ChipTable& chips, std::span<const OsSection> sections) {
    const uint64_t capacity = flashmap::Capacity(chips);
    for (const OsSection& s : sections) {
        if (!flashmap::Contains(chips, s.offset)) return rc::PastEndOfFlash;
        if (!flashmap::IsBlockStart(chips, s.offset)) return rc::PartialSector;
        // The padding of the last block goes to flash too.
        const uint64_t blocks = (uint64_t{s.size} + kBlockSize - 1) / kBlockSize;
        if (s.offset + blocks * kBlockSize > capacity) return rc::PastEndOfFlash;
    }
    return rc::Success;
}

UpdateJob::UpdateJob(GuiCallback* callback, TLoader* loader, bool advancedMode)
    : callback_(callback), loader_(loader), advancedMode_(advancedMode) {}

bool UpdateJob::AbortRequested() const { return callback_ && callback_->Aborted(); }

void UpdateJob::Report(int32_t percent) {
    if (callback_) callback_->Progress(percent);
}

bool UpdateJob::ReportAndCheckAbort(uint32_t x, uint32_t total) {
    if (!callback_) return false;
    callback_->Progress(ProgressPercent(x, total, advancedMode_));
    return callback_->Aborted();
}

bool UpdateJob::ObtainBuffer() {
    block_.reset(new (std::nothrow) uint8_t[kBlockSize]);
    return block_ != nullptr;
}

TResult UpdateJob::Begin(const std::shared_ptr<const UpdateImage>& image, TUpdateFile& file,
                         DesktopHeader& header) {
    if (!file.Attach(image)) return rc::UpdateReadError;
    if (const TResult r = file.ReadHeader(header)) return r;
    LogHeader(header);
    return rc::Success;
}

bool UpdateJob::EndAborted(TUpdateFile& file) {
    block_.reset();
    file.Close();
    return AbortRequested();
}

TResult UpdateJob::FlashOsImage(const std::shared_ptr<const UpdateImage>& image) {
    TUpdateFile file;
    DesktopHeader header;
    if (const TResult r = Begin(image, file, header)) return r;

    uint16_t flag = 0;
    if (header.versionMinor >= 4) {
        if (const TResult r = file.ReadFinaliseFlag(flag)) return r;
    }
    finalise_ = FinalisesFlashStore(header.versionMinor, flag) ? 1 : 0;

    OsMap map;
    if (const TResult r = file.ReadOsMap(map)) return r;
    if (map.count == 0) return rc::Success;
    // Refused up front: finding out at the offending section would leave the handheld with
    // half an OS.
    if (const TResult r = CheckSectionsFit(loader_->Chips(), map.Sections())) return r;

    const uint32_t total = TotalThousands(map.Sections());
    if (!ObtainBuffer()) return rc::UpdateOutOfMemory;
    PrintMessage(5, "OS sectors: %i\n", map.count);
    uint32_t done = 0;
    for (const OsSection& s : map.Sections()) {
        if (ReportAndCheckAbort(done, total)) return rc::FlashAborted;
        PrintMessage(7, "Checking sector 0x%lx size 0x%lx crc 0x%x\n",
                     static_cast<unsigned long>(s.offset), static_cast<unsigned long>(s.size),
                     s.crc);
        uint16_t crc = 0;
        if (const TResult r = loader_->RangeChecksum(s.offset, s.size, &crc)) return r;
        if (crc != s.crc) {
            // The line is kept as our log readers know it; the 0 flag is moot beside a precision.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
            PrintMessage(5, "Sector: 0x%0.8lx crc didn't match, flashing\n",
                         static_cast<unsigned long>(s.offset));
#pragma GCC diagnostic pop
            if (const TResult r = FlashSection(file, s, done, total)) return r;
        }
        done += Thousands(s.size);
    }
    if (EndAborted(file)) return rc::FlashAborted;
    Report(kProgressFlashed);
    if (finalise_) {
        if (const TResult r = loader_->FinaliseFlashStore()) return r;
    }
    Report(kProgressDone);
    return rc::Success;
}

TResult UpdateJob::FlashSection(TUpdateFile& file, const OsSection& section, uint32_t done,
                                uint32_t total) {
    const std::span<uint8_t> buffer(block_.get(), kBlockSize);
    const uint64_t end = uint64_t{section.offset} + section.size;
    uint64_t offset = section.offset;
    uint32_t sector = section.sector;
    uint32_t flashed = 0;
    while (offset < end) {
        if (const TResult r = file.ExtractSectors(sector, kSectorsPerBlock, buffer)) return r;
        const auto at = static_cast<uint32_t>(offset);
        if (const TResult r = loader_->FB(at, buffer.data(), kBlockSize)) return r;
        offset += kBlockSize;
        sector += kSectorsPerBlock;
        flashed += kThousandsPerBlock;
        if (ReportAndCheckAbort(done + flashed, total)) return rc::FlashAborted;
    }
    // A loader can acknowledge a write that did not take (a worn block, bits that will not
    // clear); only the checksum tells, and an OS that differs from the file must not pass
    // as flashed.
    uint16_t crc = 0;
    if (const TResult r = loader_->RangeChecksum(section.offset, section.size, &crc)) return r;
    if (crc != section.crc) return rc::FlashWriteError;
    return rc::Success;
}

TResult UpdateJob::InstallRamImage(const std::shared_ptr<const UpdateImage>& image) {
    TUpdateFile file;
    DesktopHeader header;
    if (const TResult r = Begin(image, file, header)) return r;

    RamMap map;
    if (const TResult r = file.ReadRamMap(map)) return r;
    const uint32_t total = TotalThousands(map.Sections());
    if (!ObtainBuffer()) return rc::UpdateOutOfMemory;
    PrintMessage(5, "RAM sections: %i\n", map.count);
    uint32_t done = 0;
    for (const RamSection& s : map.Sections()) {
        if (ReportAndCheckAbort(done, total)) return rc::FlashAborted;
        if (const TResult r = WriteRamSection(file, s, done, total)) return r;
        done += Thousands(s.size);
    }
    if (EndAborted(file)) return rc::FlashAborted;
    Report(kProgressDone);
    return rc::Success;
}

TResult UpdateJob::WriteRamSection(TUpdateFile& file, const RamSection& section, uint32_t done,
                                   uint32_t total) {
    if (section.size == 0) return rc::Success;
    const std::span<uint8_t> buffer(block_.get(), kBlockSize);
    uint32_t remaining = section.size;
    uint32_t sector = section.sector;
    uint32_t address = section.address;
    uint32_t written = 0;
    uint16_t crc = 0;
    for (;;) {
        const uint32_t chunk = std::min(remaining, kRamChunk);
        const uint32_t sectors = (chunk + kSector - 1) / kSector;
        if (const TResult r = file.ExtractSectors(sector, sectors, buffer)) return r;
        const auto count = static_cast<uint16_t>(chunk);
        if (const TResult r = loader_->WriteRAM(address, buffer.data(), count)) return r;
        crc = Crc16Update(crc, buffer.data(), count);
        sector += sectors;
        address += kRamChunk;
        written += Thousands(chunk);
        if (ReportAndCheckAbort(done + written, total)) return rc::FlashAborted;
        if (remaining == chunk) break;
        remaining -= chunk;
    }
    // Writes past the end of the handheld's RAM are acknowledged and go nowhere; only the
    // checksum tells, and RAM data that is not there must not pass as installed.
    uint16_t onHandheld = 0;
    if (const TResult r = loader_->RamChecksum(section.address, section.size, &onHandheld))
        return r;
    if (onHandheld != crc) return rc::RamOutside;
    return rc::Success;
}
