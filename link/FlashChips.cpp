#include "link/FlashChips.h"

#include <cstddef>

namespace {

constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;
constexpr uint16_t kAnyDevice = 0xFFFF;

// AMD (0x01) and Fujitsu (0x04) parts share device codes, hence the paired rows.
constexpr RecognisedChip kChips[] = {
    {0x01, 0x225B, 1}, {0x04, 0x225B, 1}, {0x01, 0x2249, 2}, {0x04, 0x2249, 2}, {0x01, 0x2253, 4},
    {0x04, 0x2253, 4}, {0x01, 0x22F9, 4}, {0x04, 0x22F9, 4}, {0x01, 0x22D7, 8}, {0x04, 0x22D7, 8},
    {0x1F, 0x00C0, 2}, {0x20, 0x005B, 1}, {0x20, 0x2249, 2}, {0x89, 0x8891, 2}, {0x89, 0x88C3, 2},
    {0x89, 0x8897, 4}, {0x89, 0x88C5, 4}, {0x89, 0x8899, 8}, {0x89, 0x88CD, 8}, {0x98, 0x0043, 2},
    {0xAD, 0x2249, 2}, {0xB0, 0x0049, 2}, {0xBF, 0x2782, 2},
};

// A layout is a list of regions, each with the in-chip offset where it ends and the block
// size used below it; the last region runs to the end of the chip.
struct Region {
    uint32_t end;
    uint32_t blockSize;
};
constexpr uint32_t kToEnd = 0xFFFFFFFF;

constexpr Region kUniform64K[] = {{kToEnd, 64 * KiB}};
constexpr Region kUniform4K[] = {{kToEnd, 4 * KiB}};
constexpr Region kBoot8K[] = {{64 * KiB, 8 * KiB}, {kToEnd, 64 * KiB}};
constexpr Region kBoot8K32K[] = {{64 * KiB, 8 * KiB}, {128 * KiB, 32 * KiB}, {kToEnd, 64 * KiB}};
constexpr Region kBoot16K[] = {
    {16 * KiB, 16 * KiB}, {32 * KiB, 8 * KiB}, {64 * KiB, 32 * KiB}, {kToEnd, 64 * KiB}};

struct LayoutRow {
    bool anyChip;
    uint16_t manufacturers[2];
    uint16_t devices[2];
    const Region* regions;
};

// The first matching row applies; the last one matches every chip.
constexpr LayoutRow kLayouts[] = {
    {false, {0x01, 0x04}, {0x22D7, 0x22D7}, kUniform64K},
    {false, {0xBF, 0xBF}, {kAnyDevice, kAnyDevice}, kUniform4K},
    {false, {0x89, 0xB0}, {kAnyDevice, kAnyDevice}, kBoot8K},
    {false, {0x1F, 0x1F}, {kAnyDevice, kAnyDevice}, kBoot8K32K},
    {false, {0x01, 0x04}, {0x2253, 0x22F9}, kBoot8K},
    {true, {0, 0}, {0, 0}, kBoot16K},
};

bool Matches(const LayoutRow& row, uint16_t manufacturer, uint16_t device) {
    if (row.anyChip) return true;
    const bool maker = row.manufacturers[0] == manufacturer || row.manufacturers[1] == manufacturer;
    const bool part =
        row.devices[0] == kAnyDevice || row.devices[0] == device || row.devices[1] == device;
    return maker && part;
}

// Hardware ids 1..12 in order.
constexpr uint8_t kDeviceTypes[] = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
constexpr uint32_t kRamBases[] = {0x10000000, 0,          0, 0x10000000, 0, 0,
                                  0x10000000, 0x10000000, 0, 0,          0, 0};
constexpr size_t kKnownIds = sizeof kDeviceTypes;

}  // namespace

std::span<const RecognisedChip> RecognisedChips() { return kChips; }

uint32_t RecognisedChipSize(uint16_t manufacturer, uint16_t device) {
    for (const RecognisedChip& row : kChips)
        if (row.manufacturer == manufacturer && row.device == device) return row.sizeMiB * MiB;
    return 0;
}

EraseBlock EraseBlockAt(uint16_t manufacturer, uint16_t device, uint32_t offset) {
    for (const LayoutRow& row : kLayouts) {
        if (!Matches(row, manufacturer, device)) continue;
        for (const Region* region = row.regions;; ++region) {
            if (offset < region->end || region->end == kToEnd) {
                const uint32_t size = region->blockSize;
                return {offset / size * size, size};
            }
        }
    }
    return {offset, 1};  // not reached: the last row matches every chip
}

uint8_t DeviceTypeForHardwareId(uint16_t hardwareId) {
    if (hardwareId == 0 || hardwareId > kKnownIds) return 0;
    return kDeviceTypes[hardwareId - 1];
}

uint32_t RamBaseForHardwareId(uint16_t hardwareId) {
    if (hardwareId == 0 || hardwareId > kKnownIds) return 0xFFFFFFFF;
    return kRamBases[hardwareId - 1];
}
