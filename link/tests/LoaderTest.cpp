// The flash model's arithmetic from a chip list alone: where chips lie, where offsets and
// erase blocks are.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "link/Loader.h"

namespace {

constexpr uint32_t MiB = 1024 * 1024;

ChipListReply Reply(uint32_t base, std::initializer_list<std::pair<uint16_t, uint16_t>> chips) {
    ChipListReply reply;
    reply.flashBase = base;
    uint16_t n = 0;
    for (const auto& [manufacturer, device] : chips) {
        reply.chips[n].manufacturer = manufacturer;
        reply.chips[n].device = device;
        ++n;
    }
    reply.count = n;
    return reply;
}

TEST(FillChipTable, ASecondListReplacesTheFirst) {
    ChipTable table;
    ASSERT_EQ(FillChipTable(table, Reply(0x10C00000, {{0x89, 0x8891}, {0x89, 0x8891}})), 0);
    ASSERT_EQ(FillChipTable(table, Reply(0x10C00000, {{0x33, 0x3333}})), rc::ChipNotRecognised);
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(flashmap::Capacity(table), 0u);
    EXPECT_FALSE(flashmap::Contains(table, 0));
}

TEST(FlashMap, OffsetsAddressesAndBlocksAcrossTwoChips) {
    ChipTable table;
    // 2 MiB under the last layout row, then 4 MiB with 8 KiB boot blocks.
    ASSERT_EQ(FillChipTable(table, Reply(0x10C00000, {{0x01, 0x2249}, {0x01, 0x2253}})), 0);
    const uint32_t second = 2 * MiB;

    EXPECT_TRUE(flashmap::Contains(table, 0));
    EXPECT_TRUE(flashmap::Contains(table, 6 * MiB - 1));
    EXPECT_FALSE(flashmap::Contains(table, 6 * MiB));
    EXPECT_FALSE(flashmap::Contains(table, 0xFFFFFFFF));

    struct Block {
        uint32_t offset;
        bool start;
        uint32_t blockStart;
    };
    const Block blocks[] = {
        {0x0000, true, 0x0000},
        {0x2000, false, 0x0000},
        {0x4000, true, 0x4000},
        {0x5000, false, 0x4000},
        {0x6000, true, 0x6000},
        {0x8000, true, 0x8000},
        {0xC000, false, 0x8000},
        {0x10000, true, 0x10000},
        {0x1F0000, true, 0x1F0000},
        {second, true, second},
        {second + 0x2000, true, second + 0x2000},
        {second + 0x3000, false, second + 0x2000},
        {second + 0x14000, false, second + 0x10000},
    };
    for (const Block& b : blocks) {
        EXPECT_EQ(flashmap::IsBlockStart(table, b.offset), b.start) << std::hex << b.offset;
        EXPECT_EQ(flashmap::BlockStart(table, b.offset), b.blockStart) << std::hex << b.offset;
    }
    EXPECT_FALSE(flashmap::IsBlockStart(table, 6 * MiB));

    // Address to offset: strictly above the base and below its end, else 0.
    EXPECT_EQ(flashmap::OffsetOf(table, 0x10C00001), 1u);
    EXPECT_EQ(flashmap::OffsetOf(table, 0x111FFFFF), 6 * MiB - 1);
    EXPECT_EQ(flashmap::OffsetOf(table, 0x11200000), 0u);
    EXPECT_EQ(flashmap::OffsetOf(table, 0x10C00000), 0u);
    EXPECT_EQ(flashmap::OffsetOf(table, 0x10BFFFFF), 0u);
    EXPECT_TRUE(flashmap::AddressInFlash(table, 0x10C00000));
    EXPECT_FALSE(flashmap::AddressInFlash(table, 0x10BFFFFF));
    EXPECT_FALSE(flashmap::AddressInFlash(table, 0x11200000));
}

}  // namespace
