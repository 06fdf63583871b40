#include "sim/HandheldMemory.h"

#include <algorithm>
#include <cstring>

HandheldMemory::HandheldMemory(const HandheldConfig& config)
    : flashBase_(EffectiveFlashBase(config)), ramBase_(EffectiveRamBase(config)) {
    uint32_t offset = 0;
    for (const ChipCode& code : config.chips) {
        const uint32_t size = RecognisedChipSize(code.manufacturer, code.device);
        if (size == 0) continue;  // a part the loader cannot drive holds nothing we can reach
        chips_.push_back({offset, size, code});
        offset += size;
    }
    flash_.assign(offset, 0xFF);
    ram_.assign(config.ramSize, 0);
    for (uint32_t stuckOffset : config.faults.stuckBlocks) {
        EraseBlock block{};
        if (FlashBlockAt(flashBase_ + stuckOffset, block))
            stuck_.push_back({block.start - flashBase_, block.start - flashBase_ + block.size});
    }
}

uint32_t HandheldMemory::Contiguous(uint32_t address, const uint8_t*& bytes) const {
    auto within = [&](uint32_t begin, const std::vector<uint8_t>& data) {
        if (address < begin || address - begin >= data.size()) return false;
        bytes = data.data() + (address - begin);
        return true;
    };
    if (within(flashBase_, flash_))
        return static_cast<uint32_t>(flash_.data() + flash_.size() - bytes);
    if (within(ramBase_, ram_) || (ramBase_ != 0 && within(0, ram_)))
        return static_cast<uint32_t>(ram_.data() + ram_.size() - bytes);
    bytes = nullptr;
    return 0;
}

void HandheldMemory::Read(uint32_t address, uint8_t* out, uint32_t count) const {
    while (count > 0) {
        const uint8_t* bytes = nullptr;
        const uint32_t available = std::min(Contiguous(address, bytes), count);
        if (available == 0) {
            *out++ = 0;
            ++address;
            --count;
            continue;
        }
        std::memcpy(out, bytes, available);
        out += available;
        address += available;
        count -= available;
    }
}

void HandheldMemory::WriteRam(uint32_t address, const uint8_t* data, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = address + i;
        if (at >= ramBase_ && at - ramBase_ < ram_.size())
            ram_[at - ramBase_] = data[i];
        else if (ramBase_ != 0 && at < ram_.size())
            ram_[at] = data[i];
    }
}

bool HandheldMemory::InFlash(uint32_t address, uint32_t count) const {
    return address >= flashBase_ && uint64_t{address} - flashBase_ + count <= flash_.size() &&
           !flash_.empty();
}

bool HandheldMemory::FlashBlockAt(uint32_t address, EraseBlock& block) const {
    if (!InFlash(address, 1)) return false;
    const uint32_t offset = address - flashBase_;
    for (const Chip& chip : chips_) {
        if (offset < chip.offset || offset - chip.offset >= chip.size) continue;
        const EraseBlock inChip =
            EraseBlockAt(chip.code.manufacturer, chip.code.device, offset - chip.offset);
        block.start = flashBase_ + chip.offset + inChip.start;
        block.size = std::min(inChip.size, chip.size - inChip.start);
        return true;
    }
    return false;
}

bool HandheldMemory::EraseBlockContaining(uint32_t address) {
    EraseBlock block{};
    if (!FlashBlockAt(address, block)) return false;
    std::fill_n(flash_.begin() + (block.start - flashBase_), block.size, uint8_t{0xFF});
    return true;
}

bool HandheldMemory::Stuck(uint32_t offset) const {
    for (const Range& range : stuck_)
        if (offset >= range.begin && offset < range.end) return true;
    return false;
}

void HandheldMemory::Program(uint32_t address, const uint8_t* data, uint32_t count) {
    if (!InFlash(address, count)) return;
    const uint32_t offset = address - flashBase_;
    for (uint32_t i = 0; i < count; ++i) {
        if (!stuck_.empty() && Stuck(offset + i)) continue;
        flash_[offset + i] &= data[i];
    }
}
