#include "sim/mkupd/UpdWriter.h"

#include <algorithm>
#include <cstring>

#include "base/Crc16.h"
#include "image/UpdateFileLayout.h"

using namespace updfile;

const UpdBreakName kUpdBreaks[] = {
    {UpdBreak::None, "none", "a valid file"},
    {UpdBreak::Signature, "signature", "header signature text differs"},
    {UpdBreak::SignatureUnterminated, "signature-unterminated",
     "16th header signature byte is not zero"},
    {UpdBreak::MapSignature, "map-signature", "update map signature differs"},
    {UpdBreak::Major2, "major2", "version major is 2"},
    {UpdBreak::Crc, "crc", "header CRC does not match"},
    {UpdBreak::OsMap1, "osmap1", "update map claims an OS map of 1 sector"},
    {UpdBreak::OsMap2, "osmap2", "update map claims an OS map of 2 sectors"},
    {UpdBreak::OsMap3, "osmap3", "update map claims an OS map of 3 sectors"},
    {UpdBreak::OsMap5, "osmap5", "update map claims an OS map of 5 sectors"},
    {UpdBreak::Truncated, "truncated", "the last sector is cut short"},
    {UpdBreak::OsCount, "os-count", "the OS map claims 101 sections"},
    {UpdBreak::RamCount, "ram-count", "the RAM map claims 501 sections"},
    {UpdBreak::RamMapShort, "ram-map-short",
     "a 1-sector RAM map claims 42 sections (more than its 512 bytes hold)"},
    {UpdBreak::Sectors0, "sectors0", "the header covers no sectors, with the CRC of nothing"},
    {UpdBreak::SectionCrc, "section-crc", "the first OS section's checksum is not its data's"},
    {UpdBreak::Overlap, "overlap", "the second OS section goes to the first one's flash"},
    {UpdBreak::RamWrap, "ram-wrap", "the first RAM section runs past 4 GiB"},
};
const std::size_t kUpdBreakCount = sizeof kUpdBreaks / sizeof kUpdBreaks[0];

namespace {

// The reader's offsets are 32-bit signed, so a file must stay below 2 GiB.
constexpr uint64_t kMaxFileBytes = uint64_t{1} << 31;

class Image {
public:
    std::vector<uint8_t>& bytes;

    void U16(std::size_t at, uint32_t v) {
        bytes[at] = static_cast<uint8_t>(v >> 8);
        bytes[at + 1] = static_cast<uint8_t>(v);
    }
    void U32(std::size_t at, uint32_t v) {
        U16(at, v >> 16);
        U16(at + 2, v & 0xFFFF);
    }
    void Text(std::size_t at, const char* text, std::size_t width) {
        std::memset(&bytes[at], 0, width);
        std::memcpy(&bytes[at], text, std::min(width, std::strlen(text)));
    }
};

uint64_t SectorsFor(uint64_t bytes, uint64_t unit) {
    return (bytes + unit - 1) / unit * unit / kSectorSize;
}

std::size_t RelativeOffset(uint64_t relativeSector) {
    return static_cast<std::size_t>((relativeSector + 1) * kSectorSize);
}

}  // namespace

bool BuildUpdateFile(const UpdDescription& d, UpdBreak spoil, std::vector<uint8_t>& file,
                     std::string& error) {
    if (d.os.size() > osmap::kMaxSections || d.ram.size() > rammap::kMaxSections) {
        error = "at most 100 OS and 500 RAM sections fit in the maps";
        return false;
    }
    const bool osMap = !d.os.empty() || spoil == UpdBreak::OsCount;
    const bool ramMap =
        !d.ram.empty() || spoil == UpdBreak::RamCount || spoil == UpdBreak::RamMapShort;
    uint32_t ramMapSectors = 0;
    if (spoil == UpdBreak::RamCount)
        ramMapSectors = 12;  // room for the full 6018 bytes
    else if (spoil == UpdBreak::RamMapShort)
        ramMapSectors = 1;
    else if (ramMap)
        ramMapSectors = static_cast<uint32_t>(
            SectorsFor(rammap::kFirstSection + rammap::kSectionSize * d.ram.size(), kSectorSize));

    // Relative sectors: 0 update map, then the OS map, the RAM map, OS data, RAM data.
    const uint64_t osMapStart = 1;
    const uint64_t ramMapStart = osMapStart + (osMap ? osmap::kSectors : 0);
    uint64_t next = ramMapStart + ramMapSectors;
    std::vector<uint64_t> osStart, ramStart;
    for (const UpdSection& s : d.os) {
        osStart.push_back(next);
        next += SectorsFor(s.data.size(), osmap::kBlockSize);
    }
    // RAM data is read in 4096-byte chunks of whole sectors, which is whole sectors in all.
    for (const UpdSection& s : d.ram) {
        ramStart.push_back(next);
        next += SectorsFor(s.data.size(), kSectorSize);
    }
    const uint64_t totalBytes = (next + 1) * kSectorSize;
    if (totalBytes >= kMaxFileBytes) {
        error = "the file would reach 2 GiB, past what the reader can address";
        return false;
    }

    file.assign(static_cast<std::size_t>(totalBytes), 0);
    Image img{file};
    const std::size_t map = kSectorSize;  // absolute sector 1
    img.Text(map + updatemap::kSig, updatemap::kSignature, kSignatureLength);
    uint32_t osMapSectors = osMap ? osmap::kSectors : 0;
    if (spoil == UpdBreak::OsMap1) osMapSectors = 1;
    if (spoil == UpdBreak::OsMap2) osMapSectors = 2;
    if (spoil == UpdBreak::OsMap3) osMapSectors = 3;
    if (spoil == UpdBreak::OsMap5) osMapSectors = 5;
    img.U32(map + updatemap::kOsMapStart, osMap ? static_cast<uint32_t>(osMapStart) : 0);
    img.U32(map + updatemap::kOsMapSectors, osMapSectors);
    img.U16(map + updatemap::kFinaliseFlag, d.finaliseFlag);
    img.U32(map + updatemap::kRamMapStart, ramMap ? static_cast<uint32_t>(ramMapStart) : 0);
    img.U32(map + updatemap::kRamMapSectors, ramMapSectors);

    if (osMap) {
        const std::size_t at = RelativeOffset(osMapStart);
        img.Text(at + osmap::kSig, "KVR OS MAP", kSignatureLength);
        img.U16(at + osmap::kCount, spoil == UpdBreak::OsCount
                                        ? static_cast<uint32_t>(osmap::kMaxSections + 1)
                                        : static_cast<uint32_t>(d.os.size()));
        for (std::size_t i = 0; i < d.os.size(); ++i) {
            const UpdSection& s = d.os[i];
            const std::size_t e = at + osmap::kFirstSection + osmap::kSectionSize * i;
            // The loader checksums exactly `size` bytes of flash, not the padding.
            uint16_t crc = Crc16(s.data.data(), s.data.size());
            if (spoil == UpdBreak::SectionCrc && i == 0) crc ^= 0x0101;
            img.U16(e + osmap::kCrc, crc);
            img.U32(e + osmap::kSector, static_cast<uint32_t>(osStart[i]));
            img.U32(e + osmap::kSize, static_cast<uint32_t>(s.data.size()));
            img.U32(e + osmap::kOffset,
                    spoil == UpdBreak::Overlap && i == 1 ? d.os[0].target : s.target);
            const std::size_t data = RelativeOffset(osStart[i]);
            std::memcpy(&file[data], s.data.data(), s.data.size());
            // Padding reaches the flash too: make it look erased.
            const std::size_t padded = SectorsFor(s.data.size(), osmap::kBlockSize) * kSectorSize;
            std::memset(&file[data + s.data.size()], 0xFF, padded - s.data.size());
        }
    }
    if (ramMap) {
        const std::size_t at = RelativeOffset(ramMapStart);
        uint32_t count = static_cast<uint32_t>(d.ram.size());
        if (spoil == UpdBreak::RamCount) count = rammap::kMaxSections + 1;
        if (spoil == UpdBreak::RamMapShort)
            count = (kSectorSize - rammap::kFirstSection) / rammap::kSectionSize + 1;
        img.U16(at + rammap::kCount, count);
        for (std::size_t i = 0; i < d.ram.size(); ++i) {
            const UpdSection& s = d.ram[i];
            const std::size_t e = at + rammap::kFirstSection + rammap::kSectionSize * i;
            if (e + rammap::kSectionSize > at + ramMapSectors * kSectorSize) break;
            img.U32(e + rammap::kSector, static_cast<uint32_t>(ramStart[i]));
            img.U32(e + rammap::kSize, static_cast<uint32_t>(s.data.size()));
            img.U32(e + rammap::kAddress,
                    spoil == UpdBreak::RamWrap && i == 0 ? 0xFFFFFF00u : s.target);
            std::memcpy(&file[RelativeOffset(ramStart[i])], s.data.data(), s.data.size());
        }
    }

    // The header last, with the CRC over everything after it.
    const auto sectors = spoil == UpdBreak::Sectors0 ? 0u : static_cast<uint32_t>(next);
    img.Text(header::kSig, header::kSignature, kSignatureLength);
    if (spoil == UpdBreak::Signature) file[header::kSig + 1] = 'o';
    if (spoil == UpdBreak::SignatureUnterminated) file[header::kSig + kSignatureLength - 1] = '!';
    img.U16(header::kVersionMajor, spoil == UpdBreak::Major2 ? 2 : header::kSupportedMajor);
    img.U16(header::kVersionMinor, d.minor);
    img.U32(header::kSectors, sectors);
    img.U16(header::kDevice, d.device);
    if (spoil == UpdBreak::MapSignature) file[map + updatemap::kSig + 1] = 'k';
    uint16_t crc = Crc16(file.data() + kSectorSize, std::size_t{sectors} * kSectorSize);
    if (spoil == UpdBreak::Crc) crc ^= 0x5A5A;
    img.U16(header::kCrc, crc);
    if (spoil == UpdBreak::Truncated) file.resize(file.size() - kSectorSize / 2);
    return true;
}
