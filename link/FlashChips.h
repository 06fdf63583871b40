// What is known of the handheld's flash chips and models: the chips the loader can program
// with their sizes, how each chip is divided into erase blocks, and what the hardware id
// says about the device type and where RAM begins. Data only; the engine and the simulated
// handheld read the same tables.
#pragma once

#include <cstdint>
#include <span>

inline constexpr uint32_t kMiB = 1024 * 1024;

// A band of a chip's erase blocks: below in-chip offset `end` (the last band: to the end of
// the chip) the blocks are `blockSize` bytes.
struct Region {
    uint32_t end;
    uint32_t blockSize;
};

// A chip the loader can program: what it is called, how big it is, how it is erased.
struct RecognisedChip {
    uint16_t manufacturer;  // the JEDEC code, as the loader reports it
    uint16_t device;
    const char* name;  // its maker and device code, as a user may look it up
    uint32_t sizeMiB;
    std::span<const Region> layout;
};
std::span<const RecognisedChip> RecognisedChips();

// The row of a chip, or none for a chip the loader cannot program.
const RecognisedChip* FindRecognisedChip(uint16_t manufacturer, uint16_t device);

// Size in bytes of a recognised chip, or 0 for a chip the loader cannot program.
uint32_t RecognisedChipSize(uint16_t manufacturer, uint16_t device);

// The erase block of a chip that contains in-chip offset `offset`: its start and size.
struct EraseBlock {
    uint32_t start;
    uint32_t size;
};
EraseBlock EraseBlockAt(uint16_t manufacturer, uint16_t device, uint32_t offset);

// Device type byte from the loader's hardware id (0 for an unknown id).
uint8_t DeviceTypeForHardwareId(uint16_t hardwareId);

// Where RAM begins for a hardware id; 0xFFFFFFFF for an unknown id.
uint32_t RamBaseForHardwareId(uint16_t hardwareId);
