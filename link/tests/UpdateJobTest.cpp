// The update procedure's decisions that need no handheld: the progress scale and which OS
// sections may be flashed at all.
#include <gtest/gtest.h>

#include <vector>

#include "link/Loader.h"
#include "link/UpdateJob.h"

namespace {

TEST(ProgressPercent, ScalesOfBothModes) {
    struct Case {
        uint32_t x, total;
        bool advanced;
        int32_t percent;
    };
    const Case cases[] = {
        {0, 200, false, 1},
        {100, 200, false, 50},
        {200, 200, false, 99},
        {0, 200, true, 5},
        {100, 200, true, 52},
        {200, 200, true, 99},
        {1, 3, false, 33},
        {2, 3, true, 67},
        // Every section under 1000 bytes: nothing to divide by.
        {0, 0, false, 100},
        {8, 0, true, 100},
        // The blocks of a 5000-byte section count 8: never past 99, or the page would
        // show a RAM part.
        {8, 5, false, 99},
        {8, 5, true, 99},
        // Large images must not overflow the product.
        {4000000, 4000000, false, 99},
        {0xFFFFFFFF, 0xFFFFFFFF, true, 99},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgressPercent(c.x, c.total, c.advanced), c.percent)
            << c.x << "/" << c.total << (c.advanced ? " advanced" : " normal");
}

TEST(CheckSectionsFit, RefusesSectionsThatCannotBeFlashedAsWholeBlocks) {
    // 2 MiB with 8 KiB boot blocks, at 0x10C00000.
    ChipListReply reply;
    reply.count = 1;
    reply.flashBase = 0x10C00000;
    reply.chips[0] = {0x89, 0x8891};
    ChipTable chips;
    ASSERT_EQ(FillChipTable(chips, reply), 0);

    struct Case {
        const char* what;
        std::vector<OsSection> sections;
        TResult result;
    };
    const Case cases[] = {
        {"aligned sections", {{0, 0, 0x2000, 0}, {0, 0, 5000, 0x10000}}, 0},
        {"last block ends at the end", {{0, 0, 0x10000, 0x1F0000}}, 0},
        {"padding still inside", {{0, 0, 0xF001, 0x1F0000}}, 0},
        {"inside a boot block", {{0, 0, 0x1000, 0x1000}}, rc::PartialSector},
        {"inside a 64 KiB block", {{0, 0, 0x1000, 0x12000}}, rc::PartialSector},
        {"a good one, then one inside a block",
         {{0, 0, 0x2000, 0}, {0, 0, 0x1000, 0x21000}},
         rc::PartialSector},
        {"starts past the end", {{0, 0, 0x1000, 0x200000}}, rc::PastEndOfFlash},
        {"runs past the end", {{0, 0, 0x10001, 0x1F0000}}, rc::PastEndOfFlash},
        {"size wraps 32 bits", {{0, 0, 0xFFFFFFFF, 0x10000}}, rc::PastEndOfFlash},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckSectionsFit(chips, c.sections), c.result) << c.what;
}

}  // namespace
