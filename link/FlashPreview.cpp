#include "link/FlashPreview.h"

#include <algorithm>
#include <cstring>

#include "link/Loader.h"

namespace {

constexpr uint32_t kBlock = updfile::osmap::kBlockSize;
constexpr uint32_t kSectorsPerBlock = kBlock / updfile::kSectorSize;

}  // namespace

FlashPreview::FlashPreview(TLoader& loader, std::shared_ptr<const UpdateImage> image,
                           const OsMap& map)
    : loader_(loader), image_(std::move(image)) {
    const ChipTable& chips = loader_.Chips();
    const uint64_t capacity = flashmap::Capacity(chips);
    for (const OsSection& s : map.Sections()) {
        // The sections were judged to fit whole blocks of the flash before this is made.
        const uint64_t dataEnd = s.offset + (uint64_t{s.size} + kBlock - 1) / kBlock * kBlock;
        if (s.size == 0 || dataEnd > capacity) continue;
        // Each erase block a write starts is erased whole, past the data to its own end.
        uint64_t eraseEnd = dataEnd;
        while (eraseEnd < capacity &&
               !flashmap::IsBlockStart(chips, static_cast<uint32_t>(eraseEnd)))
            eraseEnd += kBlock;
        written_.push_back(
            {s.offset, static_cast<uint32_t>(dataEnd), static_cast<uint32_t>(eraseEnd), s});
    }
}

TResult FlashPreview::WillBeFlashed(Written& w, bool& flashed) {
    if (w.flashed < 0) {
        // Asked as the engine asks it: a section whose checksum matches is left alone.
        uint16_t crc = 0;
        if (const TResult r = loader_.RangeChecksum(w.section.offset, w.section.size, &crc))
            return r;
        w.flashed = crc != w.section.crc ? 1 : 0;
    }
    flashed = w.flashed == 1;
    return rc::Success;
}

TResult FlashPreview::Read(uint32_t offset, uint8_t* to, uint16_t count) {
    if (const TResult r = loader_.RB(offset, to, count)) return r;
    const uint64_t end = uint64_t{offset} + count;
    TUpdateFile file;
    if (!file.Attach(image_)) return rc::UpdateReadError;
    uint8_t block[kBlock];
    for (Written& w : written_) {
        if (w.eraseEnd <= offset || w.begin >= end) continue;
        bool flashed = false;
        if (const TResult r = WillBeFlashed(w, flashed)) return r;
        if (!flashed) continue;
        const uint64_t blankFrom = std::max<uint64_t>(w.dataEnd, offset);
        const uint64_t blankTo = std::min<uint64_t>(w.eraseEnd, end);
        if (blankFrom < blankTo)
            std::memset(to + (blankFrom - offset), 0xFF, static_cast<size_t>(blankTo - blankFrom));
        // The file's blocks that reach into the range, padding and all.
        const uint64_t from = std::max<uint64_t>(w.begin, offset);
        const uint64_t upTo = std::min<uint64_t>(w.dataEnd, end);
        for (uint64_t at = (from - w.begin) / kBlock * kBlock + w.begin; at < upTo; at += kBlock) {
            const auto sector = static_cast<uint32_t>(w.section.sector +
                                                      (at - w.begin) / kBlock * kSectorsPerBlock);
            if (const TResult r = file.ExtractSectors(sector, kSectorsPerBlock, block)) return r;
            const uint64_t copyFrom = std::max(at, from);
            const uint64_t copyTo = std::min(at + kBlock, upTo);
            std::memcpy(to + (copyFrom - offset), block + (copyFrom - at),
                        static_cast<size_t>(copyTo - copyFrom));
        }
    }
    return rc::Success;
}
