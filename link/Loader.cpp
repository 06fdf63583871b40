#include "link/Loader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/ByteOrder.h"
#include "base/Log.h"
#include "link/FlashChips.h"

namespace {

constexpr uint32_t kLargeChip = 0x7FFFFF;  // chips above this size imply the high flash window
constexpr uint32_t kHighFlashBase = 0x11000000;
constexpr uint32_t kLowFlashBase = 0x10C00000;

// The OS's reset vector sits at this flash offset; below kRomVaultVector the OS carries no
// flash store to finalise.
constexpr uint32_t kResetVectorOffset = 0x8004;
constexpr uint32_t kRomVaultVector = 0x10C10000;
constexpr uint32_t kOmgAlign = 0x1000;
constexpr uint32_t kDiskStartBits = 0x10000000;
constexpr uint32_t kDiskReserve = 0x2000;  // OMG area in front of the heap

// The flash file-system control block, big-endian; bytes not named here are written back
// as they were read.
namespace omg {
constexpr uint16_t kSize = 176;
constexpr size_t kNumChips = 52;
constexpr size_t kChip0Manufacturer = 54;
constexpr size_t kChip0Device = 56;
constexpr size_t kChip1Manufacturer = 58;
constexpr size_t kChip1Device = 60;
constexpr size_t kDiskStart = 62;
constexpr size_t kDiskSize = 66;
constexpr size_t kChipTable = 76;  // a big-endian copy of the whole chip table
constexpr uint16_t kBlank = 0xFFFF;
// Layout of the chip-table copy.
constexpr size_t kTableCount = 0;
constexpr size_t kTableEntries = 2;
constexpr size_t kEntrySize = 12;
constexpr size_t kEntryStart = 0;
constexpr size_t kEntryManufacturer = 4;
constexpr size_t kEntryDevice = 6;
constexpr size_t kEntrySizeField = 8;
constexpr size_t kTableBytes = kTableEntries + kEntrySize * loader::kMaxChips;  // 98
static_assert(kChipTable + kTableBytes <= kSize);
}  // namespace omg

namespace heap2 {
constexpr uint16_t kHeaderSize = 16;
constexpr size_t kHeapSize = 2;
constexpr size_t kHalfSize = 6;  // (heap size - 4) / 2
constexpr uint32_t kBlank = 0xFFFFFFFF;
}  // namespace heap2

namespace chunk {
constexpr uint32_t kSizeMask = 0x00FFFFFF;
constexpr uint32_t kFlagsMask = 0xFF000000;
constexpr uint32_t kHeaderSize = 4;
}  // namespace chunk

unsigned long Ul(uint32_t v) { return v; }

void LayOutChips(ChipTable& table) {
    uint32_t start = table.chips[0].start;
    if (start == 0) start = table.chips[0].size > kLargeChip ? kHighFlashBase : kLowFlashBase;
    for (uint16_t i = 0; i < table.count; ++i) {
        table.chips[i].start = start;
        start += table.chips[i].size;
    }
}

// The chip that holds `offset` and the position within it.
struct Spot {
    bool inFlash;
    uint16_t chip;
    uint32_t inChip;
    uint32_t chipOffset;  // flash offset of the chip's first byte
};

Spot Locate(const ChipTable& table, uint32_t offset) {
    uint32_t rest = offset;
    uint32_t before = 0;
    for (uint16_t i = 0; i < table.count; ++i) {
        const uint32_t size = table.chips[i].size;
        if (rest < size) return {true, i, rest, before};
        rest -= size;
        before += size;
    }
    return {false, 0, 0, 0};
}

EraseBlock BlockOf(const ChipTable& table, const Spot& spot) {
    const ChipEntry& chip = table.chips[spot.chip];
    return EraseBlockAt(chip.manufacturer, chip.device, spot.inChip);
}

// The header word the finaliser gives the free chunk at `offset`: it reaches to the end of
// flash, and keeps the flags of the blank word it replaces.
uint32_t ChunkWord(uint32_t offset, uint32_t total, uint32_t oldWord) {
    return (((total - offset) & chunk::kSizeMask) | (oldWord & chunk::kFlagsMask)) -
           chunk::kHeaderSize;
}

// How far back from the free chunk the loader finds a run is searched for the chunk an
// earlier run wrote; a fresh store has it right after the heap header.
constexpr uint32_t kMostChunkSearch = 0x10000;

void FillOmg(uint8_t* block, const ChipTable& table, uint32_t diskSize) {
    byteorder::PutBE16(block + omg::kNumChips, table.count);
    byteorder::PutBE16(block + omg::kChip0Manufacturer, table.chips[0].manufacturer);
    byteorder::PutBE16(block + omg::kChip0Device, table.chips[0].device);
    byteorder::PutBE16(block + omg::kChip1Manufacturer, table.chips[1].manufacturer);
    byteorder::PutBE16(block + omg::kChip1Device, table.chips[1].device);
    byteorder::PutBE32(block + omg::kDiskSize, diskSize);
    uint8_t* copy = block + omg::kChipTable;
    byteorder::PutBE16(copy + omg::kTableCount, table.count);
    for (int i = 0; i < loader::kMaxChips; ++i) {
        uint8_t* entry = copy + omg::kTableEntries + omg::kEntrySize * i;
        byteorder::PutBE32(entry + omg::kEntryStart, table.chips[i].start);
        byteorder::PutBE16(entry + omg::kEntryManufacturer, table.chips[i].manufacturer);
        byteorder::PutBE16(entry + omg::kEntryDevice, table.chips[i].device);
        byteorder::PutBE32(entry + omg::kEntrySizeField, table.chips[i].size);
    }
}

}  // namespace

TResult FillChipTable(ChipTable& table, const ChipListReply& reply) {
    // A fresh table each time, so that a second chip list never inherits chips of the first.
    table = ChipTable{};
    table.chips[0].start = reply.flashBase;
    const uint16_t reported = std::min<uint16_t>(reply.count, loader::kMaxChips);
    for (uint16_t i = 0; i < reported; ++i) {
        const uint16_t manufacturer = reply.chips[i].manufacturer;
        const uint16_t device = reply.chips[i].device;
        PrintMessage(5, "Adding mfg: %x  dev: %x\n", manufacturer, device);
        const uint32_t size = RecognisedChipSize(manufacturer, device);
        if (size == 0) {
            if (i == 0) return rc::ChipNotRecognised;
            break;
        }
        table.chips[i].manufacturer = manufacturer;
        table.chips[i].device = device;
        table.chips[i].size = size;
        table.count = static_cast<uint16_t>(i + 1);
        LayOutChips(table);
        PrintMessage(3, "Chip %i added: mfg: %x dev: %x\n", i, manufacturer, device);
    }
    return rc::Success;
}

namespace flashmap {

uint32_t Capacity(const ChipTable& table) {
    uint32_t total = 0;
    for (uint16_t i = 0; i < table.count; ++i) total += table.chips[i].size;
    return total;
}

bool Contains(const ChipTable& table, uint32_t offset) { return Locate(table, offset).inFlash; }

bool IsBlockStart(const ChipTable& table, uint32_t offset) {
    const Spot spot = Locate(table, offset);
    return spot.inFlash && BlockOf(table, spot).start == spot.inChip;
}

uint32_t BlockStart(const ChipTable& table, uint32_t offset) {
    const Spot spot = Locate(table, offset);
    if (!spot.inFlash) return offset;
    return spot.chipOffset + BlockOf(table, spot).start;
}

uint32_t OffsetOf(const ChipTable& table, uint32_t address) {
    const uint32_t base = table.chips[0].start;
    if (base < address && address - base < Capacity(table)) return address - base;
    return 0;
}

bool AddressInFlash(const ChipTable& table, uint32_t address) {
    const uint32_t base = table.chips[0].start;
    return base <= address && address - base < Capacity(table);
}

}  // namespace flashmap

TLoader::TLoader(TSLK* slk) : cmd_(new (std::nothrow) TCmd(slk)) {}

TResult TLoader::Handshake(int attempts) {
    if (!cmd_) return rc::NoEngine;
    return cmd_->GetVersion(&version_, &secondWord_, attempts);
}

TResult TLoader::BuildChipTable() {
    if (!cmd_) return rc::NoEngine;
    chipList_ = ChipListReply{};
    if (const TResult r = cmd_->GetChipList(&chipList_)) return r;
    return FillChipTable(chips_, chipList_);
}

uint32_t TLoader::FlashCapacity() const { return flashmap::Capacity(chips_); }

bool TLoader::InFlash(uint32_t offset) const { return flashmap::Contains(chips_, offset); }

bool TLoader::IsBlockStart(uint32_t offset) const { return flashmap::IsBlockStart(chips_, offset); }

TResult TLoader::QueryDeviceType(uint8_t* deviceType) {
    *deviceType = 0;
    if (!cmd_) return rc::NoEngine;
    uint16_t id = 0;
    if (const TResult r = cmd_->HardwareId(&id)) return r;
    *deviceType = DeviceTypeForHardwareId(id);
    return rc::Success;
}

TResult TLoader::RamBase(uint32_t* base) {
    if (!cmd_) return rc::NoEngine;
    uint16_t id = 0;
    if (const TResult r = cmd_->HardwareId(&id)) return r;
    *base = RamBaseForHardwareId(id);
    return rc::Success;
}

TResult TLoader::RB(uint32_t offset, uint8_t* buffer, uint16_t count) {
    PrintMessage(7, "RB(0x%08lx, 0x%lx)", Ul(offset), Ul(count));
    if (!InFlash(offset)) return rc::PastEndOfFlash;
    const uint32_t address = FlashBase() + offset;
    PrintMessage(3, " addr: 0x%08lx\n", Ul(address));
    if (!cmd_) return rc::NoEngine;
    return cmd_->ReadMemory(address, buffer, count);
}

TResult TLoader::Program(uint32_t offset, const uint8_t* data, uint16_t count) {
    const uint32_t base = FlashBase();
    return cmd_->ProgramFlash(base + flashmap::BlockStart(chips_, offset), base + offset, data,
                              count);
}

TResult TLoader::WB(uint32_t offset, const uint8_t* data, uint16_t count) {
    PrintMessage(3, "  WB(0x%08lx, 0x%lx)", Ul(offset), Ul(count));
    if (!InFlash(offset)) return rc::PastEndOfFlash;
    PrintMessage(3, " addr: 0x%08lx\n", Ul(FlashBase() + offset));
    if (!cmd_) return rc::NoEngine;
    return Program(offset, data, count);
}

TResult TLoader::FB(uint32_t offset, const uint8_t* data, uint16_t count) {
    PrintMessage(3, "  FB(0x%08lx, 0x%lx)", Ul(offset), Ul(count));
    if (!InFlash(offset)) return rc::PastEndOfFlash;
    const uint32_t address = FlashBase() + offset;
    PrintMessage(3, " addr: 0x%08lx\n", Ul(address));
    if (!cmd_) return rc::NoEngine;
    if (IsBlockStart(offset)) {
        if (const TResult r = cmd_->EraseBlock(address)) return r;
    }
    return Program(offset, data, count);
}

TResult TLoader::RangeChecksum(uint32_t offset, uint32_t length, uint16_t* checksum) {
    if (!InFlash(offset)) return rc::PastEndOfFlash;
    if (!cmd_) return rc::NoEngine;
    return cmd_->RangeChecksum(FlashBase() + offset, length, checksum);
}

TResult TLoader::RamChecksum(uint32_t address, uint32_t length, uint16_t* checksum) {
    if (!cmd_) return rc::NoEngine;
    return cmd_->RangeChecksum(address, length, checksum);
}

TResult TLoader::WriteRAM(uint32_t address, const uint8_t* data, uint16_t count) {
    if (!cmd_) return rc::NoEngine;
    return cmd_->WriteRAM(address, data, count);
}

TResult TLoader::FindWrittenChunk(uint32_t from, uint32_t freeChunk, bool& written) {
    // The chunk an earlier run of this update wrote is no longer free, so the loader finds
    // the next one: look at the words before it for one holding what the finaliser writes.
    written = false;
    if (freeChunk < from || freeChunk - from > kMostChunkSearch) return rc::Success;
    uint8_t words[1024];
    for (uint32_t at = from; at < freeChunk; at += sizeof words) {
        const auto count = static_cast<uint16_t>(std::min<uint32_t>(sizeof words, freeChunk - at));
        if (const TResult r = RB(at, words, count)) return r;
        for (uint16_t i = 0; i + 4 <= count; i += 4) {
            const uint32_t word = byteorder::GetBE32(words + i);
            if (word == ChunkWord(at + i, FlashCapacity(), word + chunk::kHeaderSize)) {
                PrintMessage(3, "free chunk already sized at: 0x%lx\n", Ul(at + i));
                written = true;
                return rc::Success;
            }
        }
    }
    return rc::Success;
}

struct TLoader::StorePlan {
    bool store = false;  // the OS carries a flash store at all
    uint32_t omgOffset = 0;
    bool omgBlank = false;
    uint8_t omg[omg::kSize] = {};  // what the control block is to hold
    uint32_t diskStart = 0, diskSize = 0;
    uint32_t heapOffset = 0;
    bool heapBlank = false;
    uint8_t heapHeader[heap2::kHeaderSize] = {};
    uint32_t heapSize = 0;
};

TResult TLoader::PlanFlashStore(const FlashReader& read, StorePlan& plan) {
    const uint32_t base = FlashBase();
    const uint32_t total = FlashCapacity();

    PrintMessage(7, "Reset vector at %08lx\n", Ul(base + kResetVectorOffset));
    uint8_t word[4];
    if (const TResult r = read(kResetVectorOffset, word, sizeof word)) return r;
    const uint32_t vector = byteorder::GetBE32(word);
    PrintMessage(7, "  vector = %08lx\n", Ul(vector));
    if (vector < kRomVaultVector) {
        PrintMessage(3, "No RomVault support finding OMG address\n");
        return rc::Success;
    }
    plan.store = true;

    const uint32_t omgAddress = vector & ~(kOmgAlign - 1);
    PrintMessage(7, "  OMG addr = %08lx\n", Ul(omgAddress));
    // An address outside flash would map to offset 0 and have the store's structures
    // written over the start of the OS just flashed. A blank vector lands here too.
    if (!flashmap::AddressInFlash(chips_, omgAddress) || omgAddress - base > total - omg::kSize)
        return rc::BadResetVector;
    plan.omgOffset = omgAddress - base;
    PrintMessage(3, "Read OMG at flash offset: 0x%lx\n", Ul(plan.omgOffset));
    uint8_t block[omg::kSize];
    if (const TResult r = read(plan.omgOffset, block, omg::kSize)) return r;
    // Each structure is written when blank and left when it already holds what this update
    // writes: a finalisation cut short is completed by the next run. Anything else is a
    // store this update did not make, and is refused.
    plan.omgBlank = byteorder::GetBE16(block + omg::kNumChips) == omg::kBlank;
    plan.diskStart = byteorder::GetBE32(block + omg::kDiskStart);
    const uint32_t diskAddress = plan.diskStart | kDiskStartBits;
    // The disk, its reserve and the heap header behind it must all lie in flash, or their
    // sizes wrap and the header goes wherever the wrap points.
    if (!flashmap::AddressInFlash(chips_, diskAddress) ||
        diskAddress - base > total - kDiskReserve - heap2::kHeaderSize)
        return rc::StoreOutsideFlash;
    const uint32_t diskOffset = diskAddress - base;
    plan.diskSize = total - diskOffset - kDiskReserve;
    std::memcpy(plan.omg, block, sizeof block);
    FillOmg(plan.omg, chips_, plan.diskSize);
    if (!plan.omgBlank && std::memcmp(block, plan.omg, sizeof block) != 0)
        return rc::FlashStoreNotBlank;

    plan.heapOffset = diskOffset + kDiskReserve;
    PrintMessage(3, "Read heap2 header at flash_offset 0x%lx\n", Ul(plan.heapOffset));
    uint8_t header[heap2::kHeaderSize];
    if (const TResult r = read(plan.heapOffset, header, heap2::kHeaderSize)) return r;
    plan.heapBlank = byteorder::GetBE32(header + heap2::kHeapSize) == heap2::kBlank;
    plan.heapSize = total - plan.heapOffset;
    std::memcpy(plan.heapHeader, header, sizeof header);
    byteorder::PutBE32(plan.heapHeader + heap2::kHeapSize, plan.heapSize);
    byteorder::PutBE32(plan.heapHeader + heap2::kHalfSize, (plan.heapSize - 4) / 2);
    if (!plan.heapBlank && std::memcmp(header, plan.heapHeader, sizeof header) != 0)
        return rc::FlashStoreNotBlank;
    return rc::Success;
}

TResult TLoader::CheckFlashStore(const FlashReader& read) {
    StorePlan plan;
    return PlanFlashStore(read, plan);
}

TResult TLoader::WriteChecked(uint32_t offset, const uint8_t* data, uint16_t count) {
    if (const TResult r = WB(offset, data, count)) return r;
    // A block that ignores programming acknowledges the write all the same; the store would
    // stand half made behind a "done".
    uint8_t back[omg::kSize];
    static_assert(omg::kSize >= heap2::kHeaderSize);
    if (count > sizeof back) return rc::RomVaultError;
    if (const TResult r = RB(offset, back, count)) return r;
    if (std::memcmp(back, data, count) != 0) {
        PrintMessage(3, "Write at flash offset 0x%lx did not take\n", Ul(offset));
        return rc::RomVaultError;
    }
    return rc::Success;
}

TResult TLoader::FinaliseFlashStore() {
    if (!cmd_) return rc::NoEngine;
    const uint32_t base = FlashBase();
    const uint32_t total = FlashCapacity();
    StorePlan plan;
    const TResult planned = PlanFlashStore(
        [this](uint32_t offset, uint8_t* to, uint16_t count) { return RB(offset, to, count); },
        plan);
    if (planned != rc::Success || !plan.store) return planned;

    if (plan.omgBlank) {
        PrintMessage(3, "Write OMG: num_chips 0x%x chip[0].devcode: 0x%x\n", chips_.count,
                     chips_.chips[0].device);
        PrintMessage(3, "           disk_start: 0x%lx  disk_size: 0x%lx\n", Ul(plan.diskStart),
                     Ul(plan.diskSize));
        if (const TResult r = WriteChecked(plan.omgOffset, plan.omg, omg::kSize)) return r;
    }
    if (plan.heapBlank) {
        PrintMessage(3, "write heap2 hdr: heap size 0x%lx\n", Ul(plan.heapSize));
        if (const TResult r = WriteChecked(plan.heapOffset, plan.heapHeader, heap2::kHeaderSize))
            return r;
    }

    const uint32_t firstChunk = plan.heapOffset + heap2::kHeaderSize;
    uint32_t chunkAddress = 0;
    if (const TResult r = cmd_->FindFreeChunk(base + firstChunk, &chunkAddress)) return r;
    // As with the OMG: a chunk outside flash must not become offset 0.
    if (!flashmap::AddressInFlash(chips_, chunkAddress) || chunkAddress - base > total - 4)
        return rc::StoreOutsideFlash;
    const uint32_t chunkOffset = chunkAddress - base;
    bool chunkWritten = false;
    if (!plan.heapBlank) {
        if (const TResult r = FindWrittenChunk(firstChunk, chunkOffset, chunkWritten)) return r;
    }
    uint8_t word[4];
    if (!chunkWritten) {
        PrintMessage(3, "bootlet found free chunk at: 0x%lx\n", Ul(chunkOffset));
        if (const TResult r = RB(chunkOffset, word, sizeof word)) return r;
        const uint32_t oldWord = byteorder::GetBE32(word);
        if ((oldWord & chunk::kSizeMask) != chunk::kSizeMask) return rc::FlashStoreNotBlank;
        const uint32_t newWord = ChunkWord(chunkOffset, total, oldWord);
        PrintMessage(3, "Writing new size 0x%lx\n", Ul(newWord));
        byteorder::PutBE32(word, newWord);
        if (const TResult r = WriteChecked(chunkOffset, word, sizeof word)) return r;
    }

    const uint32_t lastWord = total - 4;
    PrintMessage(3, "Writing NULL at end of flash 0x%lx\n", Ul(lastWord));
    const uint8_t zeros[4] = {};
    return WriteChecked(lastWord, zeros, sizeof zeros);
}
