#include "link/FlashChips.h"

#include <cstddef>

namespace {

constexpr uint32_t KiB = 1024;

// A layout is a list of regions, each with the in-chip offset where it ends and the block
// size used below it; the last region runs to the end of the chip.
constexpr uint32_t kToEnd = 0xFFFFFFFF;

constexpr Region kUniform64K[] = {{kToEnd, 64 * KiB}};
constexpr Region kUniform4K[] = {{kToEnd, 4 * KiB}};
constexpr Region kBoot8K[] = {{64 * KiB, 8 * KiB}, {kToEnd, 64 * KiB}};
constexpr Region kBoot8K32K[] = {{64 * KiB, 8 * KiB}, {128 * KiB, 32 * KiB}, {kToEnd, 64 * KiB}};
constexpr Region kBoot16K[] = {
    {16 * KiB, 16 * KiB}, {32 * KiB, 8 * KiB}, {64 * KiB, 32 * KiB}, {kToEnd, 64 * KiB}};

// Every chip the loader can program, one row each. AMD (0x01) and Fujitsu (0x04) made the
// same parts under the same device codes, hence the paired rows.
constexpr RecognisedChip kChips[] = {
    {0x01, 0x225B, "AMD 0x225B", 1, kBoot16K},     {0x04, 0x225B, "Fujitsu 0x225B", 1, kBoot16K},
    {0x01, 0x2249, "AMD 0x2249", 2, kBoot16K},     {0x04, 0x2249, "Fujitsu 0x2249", 2, kBoot16K},
    {0x01, 0x2253, "AMD 0x2253", 4, kBoot8K},      {0x04, 0x2253, "Fujitsu 0x2253", 4, kBoot8K},
    {0x01, 0x22F9, "AMD 0x22F9", 4, kBoot8K},      {0x04, 0x22F9, "Fujitsu 0x22F9", 4, kBoot8K},
    {0x01, 0x22D7, "AMD 0x22D7", 8, kUniform64K},  {0x04, 0x22D7, "Fujitsu 0x22D7", 8, kUniform64K},
    {0x1F, 0x00C0, "Atmel 0x00C0", 2, kBoot8K32K}, {0x20, 0x005B, "ST 0x005B", 1, kBoot16K},
    {0x20, 0x2249, "ST 0x2249", 2, kBoot16K},      {0x89, 0x8891, "Intel 0x8891", 2, kBoot8K},
    {0x89, 0x88C3, "Intel 0x88C3", 2, kBoot8K},    {0x89, 0x8897, "Intel 0x8897", 4, kBoot8K},
    {0x89, 0x88C5, "Intel 0x88C5", 4, kBoot8K},    {0x89, 0x8899, "Intel 0x8899", 8, kBoot8K},
    {0x89, 0x88CD, "Intel 0x88CD", 8, kBoot8K},    {0x98, 0x0043, "Toshiba 0x0043", 2, kBoot16K},
    {0xAD, 0x2249, "Hynix 0x2249", 2, kBoot16K},   {0xB0, 0x0049, "Sharp 0x0049", 2, kBoot8K},
    {0xBF, 0x2782, "SST 0x2782", 2, kUniform4K},
};

// A part that is not in the table (the simulated handheld may carry one) is laid out as its
// maker's parts are; any other as the most common boot-block part.
struct MakerLayout {
    uint16_t manufacturer;
    std::span<const Region> layout;
};
constexpr MakerLayout kMakerLayouts[] = {
    {0xBF, kUniform4K}, {0x89, kBoot8K}, {0xB0, kBoot8K}, {0x1F, kBoot8K32K}};
constexpr std::span<const Region> kOtherLayout = kBoot16K;

const RecognisedChip* Find(uint16_t manufacturer, uint16_t device) {
    for (const RecognisedChip& row : kChips)
        if (row.manufacturer == manufacturer && row.device == device) return &row;
    return nullptr;
}

std::span<const Region> LayoutOf(uint16_t manufacturer, uint16_t device) {
    if (const RecognisedChip* chip = Find(manufacturer, device)) return chip->layout;
    for (const MakerLayout& maker : kMakerLayouts)
        if (maker.manufacturer == manufacturer) return maker.layout;
    return kOtherLayout;
}

// Hardware ids 1..12 in order.
constexpr uint8_t kDeviceTypes[] = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
constexpr uint32_t kRamBases[] = {0x10000000, 0,          0, 0x10000000, 0, 0,
                                  0x10000000, 0x10000000, 0, 0,          0, 0};
constexpr size_t kKnownIds = sizeof kDeviceTypes;

}  // namespace

std::span<const RecognisedChip> RecognisedChips() { return kChips; }

const RecognisedChip* FindRecognisedChip(uint16_t manufacturer, uint16_t device) {
    return Find(manufacturer, device);
}

uint32_t RecognisedChipSize(uint16_t manufacturer, uint16_t device) {
    const RecognisedChip* chip = Find(manufacturer, device);
    return chip ? chip->sizeMiB * kMiB : 0;
}

EraseBlock EraseBlockAt(uint16_t manufacturer, uint16_t device, uint32_t offset) {
    const std::span<const Region> layout = LayoutOf(manufacturer, device);
    for (const Region& region : layout) {
        if (offset < region.end || region.end == kToEnd) {
            const uint32_t size = region.blockSize;
            return {offset / size * size, size};
        }
    }
    return {offset, 1};  // not reached: every layout runs to the end of the chip
}

uint8_t DeviceTypeForHardwareId(uint16_t hardwareId) {
    if (hardwareId == 0 || hardwareId > kKnownIds) return 0;
    return kDeviceTypes[hardwareId - 1];
}

uint32_t RamBaseForHardwareId(uint16_t hardwareId) {
    if (hardwareId == 0 || hardwareId > kKnownIds) return 0xFFFFFFFF;
    return kRamBases[hardwareId - 1];
}
