#include "link/FlashChips.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;

TEST(RecognisedChipSize, SizesOfKnownChipsAndZeroForOthers) {
    struct Case {
        uint16_t manufacturer, device;
        uint32_t size;
    };
    const Case cases[] = {
        {0x01, 0x225B, 1 * MiB},
        {0x04, 0x225B, 1 * MiB},
        {0x04, 0x2249, 2 * MiB},
        {0x01, 0x2253, 4 * MiB},
        {0x04, 0x22F9, 4 * MiB},
        {0x01, 0x22D7, 8 * MiB},
        {0x1F, 0x00C0, 2 * MiB},
        {0x20, 0x005B, 1 * MiB},
        {0x20, 0x2249, 2 * MiB},
        {0x89, 0x8891, 2 * MiB},
        {0x89, 0x88C3, 2 * MiB},
        {0x89, 0x8897, 4 * MiB},
        {0x89, 0x88C5, 4 * MiB},
        {0x89, 0x8899, 8 * MiB},
        {0x89, 0x88CD, 8 * MiB},
        {0x98, 0x0043, 2 * MiB},
        {0xAD, 0x2249, 2 * MiB},
        {0xB0, 0x0049, 2 * MiB},
        {0xBF, 0x2782, 2 * MiB},
        // A known device code under the wrong maker, and makers without that part.
        {0x89, 0x2249, 0},
        {0x20, 0x225B, 0},
        {0xBF, 0x0049, 0},
        {0x00, 0x0000, 0},
        {0xFFFF, 0xFFFF, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecognisedChipSize(c.manufacturer, c.device), c.size)
            << std::hex << c.manufacturer << "/" << c.device;
}

TEST(EraseBlockAt, EachLayoutRowAtItsBoundaries) {
    struct Case {
        uint16_t manufacturer, device;
        uint32_t offset, start, size;
    };
    const Case cases[] = {
        // 8 MiB AMD/Fujitsu: uniform 64 KiB, even in the first 64 KiB.
        {0x01, 0x22D7, 0x2000, 0, 64 * KiB},
        {0x04, 0x22D7, 0x7FFFFF, 0x7F0000, 64 * KiB},
        // SST: 4 KiB everywhere, whatever the device.
        {0xBF, 0x2782, 0x1FFF, 0x1000, 4 * KiB},
        {0xBF, 0x1234, 0x123456, 0x123000, 4 * KiB},
        // Intel and 0xB0: 8 KiB boot blocks up to 64 KiB.
        {0x89, 0x8897, 0xFFFF, 0xE000, 8 * KiB},
        {0x89, 0x8897, 0x10000, 0x10000, 64 * KiB},
        {0xB0, 0x0049, 0x3FFFF, 0x30000, 64 * KiB},
        // Atmel: 8 KiB, then 32 KiB up to 128 KiB, then 64 KiB.
        {0x1F, 0x00C0, 0xA000, 0xA000, 8 * KiB},
        {0x1F, 0x00C0, 0x17FFF, 0x10000, 32 * KiB},
        {0x1F, 0x00C0, 0x18000, 0x18000, 32 * KiB},
        {0x1F, 0x00C0, 0x20000, 0x20000, 64 * KiB},
        // 4 MiB AMD/Fujitsu parts have boot blocks; the 1 and 2 MiB ones fall to the last row.
        {0x01, 0x2253, 0x6000, 0x6000, 8 * KiB},
        {0x04, 0x22F9, 0x12345, 0x10000, 64 * KiB},
        // The last row: 16 KiB, 8 KiB from 16 KiB, 32 KiB from 32 KiB, 64 KiB from 64 KiB.
        {0x01, 0x2249, 0x3FFF, 0, 16 * KiB},
        {0x01, 0x2249, 0x4000, 0x4000, 8 * KiB},
        {0x01, 0x2249, 0x6000, 0x6000, 8 * KiB},
        {0x01, 0x2249, 0x5000, 0x4000, 8 * KiB},
        {0x20, 0x005B, 0x8000, 0x8000, 32 * KiB},
        {0x98, 0x0043, 0xFFFF, 0x8000, 32 * KiB},
        {0xAD, 0x2249, 0x10000, 0x10000, 64 * KiB},
        {0x01, 0x225B, 0xFFFFF, 0xF0000, 64 * KiB},
    };
    for (const Case& c : cases) {
        const EraseBlock block = EraseBlockAt(c.manufacturer, c.device, c.offset);
        EXPECT_EQ(block.start, c.start)
            << std::hex << c.manufacturer << "/" << c.device << " @" << c.offset;
        EXPECT_EQ(block.size, c.size)
            << std::hex << c.manufacturer << "/" << c.device << " @" << c.offset;
    }
}

TEST(HardwareId, DeviceTypeAndRamBaseForEveryId) {
    struct Case {
        uint16_t id;
        uint8_t deviceType;
        uint32_t ramBase;
    };
    const Case cases[] = {
        {0, 0, 0xFFFFFFFF}, {1, 1, 0x10000000},  {2, 2, 0},
        {3, 4, 0},          {4, 5, 0x10000000},  {5, 6, 0},
        {6, 7, 0},          {7, 8, 0x10000000},  {8, 9, 0x10000000},
        {9, 10, 0},         {10, 11, 0},         {11, 12, 0},
        {12, 13, 0},        {13, 0, 0xFFFFFFFF}, {0xFFFF, 0, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceTypeForHardwareId(c.id), c.deviceType) << c.id;
        EXPECT_EQ(RamBaseForHardwareId(c.id), c.ramBase) << c.id;
    }
}

}  // namespace
