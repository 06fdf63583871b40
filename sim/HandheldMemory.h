// The handheld's address space as its programs see it: NOR flash chips one after another from
// the flash base, RAM at the base the hardware id gives (and, where that base is not 0, seen
// at 0 as well, which is where the ROM debugger puts an uploaded program), nothing elsewhere.
#pragma once

#include <cstdint>
#include <vector>

#include "link/FlashChips.h"
#include "sim/HandheldConfig.h"

class HandheldMemory {
public:
    explicit HandheldMemory(const HandheldConfig& config);

    uint32_t FlashBase() const { return flashBase_; }
    uint32_t FlashSize() const { return static_cast<uint32_t>(flash_.size()); }
    uint32_t RamBase() const { return ramBase_; }
    uint32_t RamSize() const { return static_cast<uint32_t>(ram_.size()); }
    std::vector<uint8_t>& Flash() { return flash_; }
    const std::vector<uint8_t>& Flash() const { return flash_; }
    std::vector<uint8_t>& Ram() { return ram_; }
    const std::vector<uint8_t>& Ram() const { return ram_; }

    // Bytes that lie nowhere read as 0.
    void Read(uint32_t address, uint8_t* out, uint32_t count) const;
    // The mapped bytes from `address` to the end of their region; 0 when nothing is there.
    uint32_t Contiguous(uint32_t address, const uint8_t*& bytes) const;
    // Only RAM takes plain writes: flash has to be programmed, and unmapped bytes go nowhere.
    void WriteRam(uint32_t address, const uint8_t* data, uint32_t count);

    bool InFlash(uint32_t address, uint32_t count) const;
    // The erase block that holds a flash address, in absolute addresses.
    bool FlashBlockAt(uint32_t address, EraseBlock& block) const;
    bool EraseBlockContaining(uint32_t address);
    // NOR programming clears bits only: each byte becomes old AND new. The range must be in
    // flash. Bytes of a stuck block keep their value.
    void Program(uint32_t address, const uint8_t* data, uint32_t count);

private:
    struct Chip {
        uint32_t offset;  // from the flash base
        uint32_t size;
        ChipCode code;
    };
    struct Range {
        uint32_t begin;  // flash offsets
        uint32_t end;
    };
    bool Stuck(uint32_t offset) const;

    uint32_t flashBase_;
    uint32_t ramBase_;
    std::vector<Chip> chips_;
    std::vector<Range> stuck_;
    std::vector<uint8_t> flash_;
    std::vector<uint8_t> ram_;
};
