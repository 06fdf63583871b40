// The chip and hardware-id tables, checked by the rules they must keep for every row (so a
// new row is checked too) and by a few rows worked out by hand.
#include "link/FlashChips.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;

TEST(FlashChips, EveryChipIsOneOfTheKnownSizesAndListedOnce) {
    std::set<std::pair<uint16_t, uint16_t>> seen;
    for (const RecognisedChip& chip : RecognisedChips()) {
        EXPECT_TRUE(seen.insert({chip.manufacturer, chip.device}).second)
            << std::hex << chip.manufacturer << "/" << chip.device << " listed twice";
        EXPECT_TRUE(chip.sizeMiB == 1 || chip.sizeMiB == 2 || chip.sizeMiB == 4 ||
                    chip.sizeMiB == 8)
            << std::hex << chip.manufacturer << "/" << chip.device;
        EXPECT_EQ(RecognisedChipSize(chip.manufacturer, chip.device), chip.sizeMiB * MiB);
    }
    EXPECT_EQ(RecognisedChips().size(), 23u);
}

TEST(FlashChips, EveryChipsEraseLayoutTilesItsSizeWithAlignedBlocks) {
    for (const RecognisedChip& chip : RecognisedChips()) {
        const uint32_t size = chip.sizeMiB * MiB;
        uint32_t offset = 0;
        while (offset < size) {
            const EraseBlock block = EraseBlockAt(chip.manufacturer, chip.device, offset);
            ASSERT_EQ(block.start, offset)
                << std::hex << chip.manufacturer << "/" << chip.device << ": a gap or overlap";
            ASSERT_TRUE(block.size >= 4 * KiB && (block.size & (block.size - 1)) == 0)
                << std::hex << chip.manufacturer << "/" << chip.device << " @" << offset;
            ASSERT_EQ(block.start % block.size, 0u)
                << std::hex << chip.manufacturer << "/" << chip.device << " @" << offset;
            // Every byte of the block reports the same block.
            const EraseBlock last =
                EraseBlockAt(chip.manufacturer, chip.device, offset + block.size - 1);
            ASSERT_EQ(last.start, block.start) << std::hex << offset;
            offset += block.size;
        }
        EXPECT_EQ(offset, size) << std::hex << chip.manufacturer << "/" << chip.device;
    }
}

TEST(FlashChips, SpotRows) {
    // Makers sharing a device code do not share parts.
    EXPECT_EQ(RecognisedChipSize(0x89, 0x8897), 4 * MiB);
    EXPECT_EQ(RecognisedChipSize(0x04, 0x22D7), 8 * MiB);
    EXPECT_EQ(RecognisedChipSize(0x89, 0x2249), 0u);
    EXPECT_EQ(RecognisedChipSize(0xBF, 0x0049), 0u);
    EXPECT_EQ(RecognisedChipSize(0xFFFF, 0xFFFF), 0u);
    struct Row {
        uint16_t manufacturer, device;
        uint32_t offset, start, size;
        const char* catches;
    };
    const Row rows[] = {
        {0x01, 0x22D7, 0x2000, 0, 64 * KiB, "the 8 MiB AMD part has no boot blocks"},
        {0xBF, 0x1234, 0x123456, 0x123000, 4 * KiB, "SST is 4 KiB whatever the device"},
        {0x89, 0x8897, 0xFFFF, 0xE000, 8 * KiB, "Intel boot blocks up to 64 KiB"},
        {0x1F, 0x00C0, 0x18000, 0x18000, 32 * KiB, "Atmel's 32 KiB band"},
        {0x04, 0x22F9, 0x12345, 0x10000, 64 * KiB, "4 MiB Fujitsu above its boot blocks"},
        {0x01, 0x2249, 0x6000, 0x6000, 8 * KiB, "the last row: 0x6000 starts a block"},
        {0x01, 0x2249, 0x5000, 0x4000, 8 * KiB, "the last row: 0x5000 does not"},
        {0x20, 0x005B, 0x8000, 0x8000, 32 * KiB, "the last row's 32 KiB band"},
    };
    for (const Row& r : rows) {
        const EraseBlock block = EraseBlockAt(r.manufacturer, r.device, r.offset);
        EXPECT_EQ(block.start, r.start) << r.catches;
        EXPECT_EQ(block.size, r.size) << r.catches;
    }
}

TEST(HardwareId, DeviceTypeAndRamBase) {
    struct Row {
        uint16_t id;
        uint8_t deviceType;
        uint32_t ramBase;
        const char* catches;
    };
    const Row rows[] = {
        {0, 0, 0xFFFFFFFF, "no id: no device, no RAM base"},
        {1, 1, 0x10000000, "the first id"},
        {3, 4, 0, "device type 3 is skipped"},
        {4, 5, 0x10000000, "RAM high again"},
        {10, 11, 0, "the palmsim default"},
        {12, 13, 0, "the last id"},
        {13, 0, 0xFFFFFFFF, "past the table"},
        {0xFFFF, 0, 0xFFFFFFFF, "the top of the range"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(DeviceTypeForHardwareId(r.id), r.deviceType) << r.catches;
        EXPECT_EQ(RamBaseForHardwareId(r.id), r.ramBase) << r.catches;
    }
}

}  // namespace
