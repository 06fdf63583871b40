// The flash model against the simulated handheld: the chip table as the loader reports it,
// erasing only where a block starts, and the flash-store finalisation byte for byte.
#include <gtest/gtest.h>

#include "link/tests/EngineFixture.h"

namespace {

using namespace engine;

constexpr uint32_t MiB = 1024 * 1024;

HandheldConfig Chips(std::vector<ChipCode> chips, uint32_t base) {
    HandheldConfig config = LoaderRunning();
    config.chips = std::move(chips);
    config.flashBase = base;
    return config;
}

TEST(LoaderEngine, ChipTableAsTheLoaderReportsIt) {
    const ChipCode amd4{0x01, 0x2253}, amd8{0x01, 0x22D7}, intel2{0x89, 0x8891},
        unknown{0x42, 0x4242};
    struct Case {
        const char* what;
        HandheldConfig config;
        TResult result;
        uint16_t count;
        uint32_t firstStart, capacity;
    };
    const Case cases[] = {
        {"one 4 MiB chip", Chips({amd4}, 0x10C00000), 0, 1, 0x10C00000, 4 * MiB},
        {"second not recognised", Chips({amd4, unknown}, 0x10C00000), 0, 1, 0x10C00000, 4 * MiB},
        {"base 0, 8 MiB chip", Chips({amd8}, 0), 0, 1, 0x11000000, 8 * MiB},
        {"ten chips", Chips(std::vector<ChipCode>(10, intel2), 0x10000000), 0, 8, 0x10000000,
         16 * MiB},
        {"first not recognised", Chips({unknown, amd4}, 0x10C00000), rc::ChipNotRecognised, 0,
         0x10C00000, 0},
    };
    for (const Case& c : cases) {
        Engine e(c.config);
        ASSERT_EQ(e.manager->OpenPort("COM1"), 0) << c.what;
        EXPECT_EQ(e.Loader().BuildChipTable(), c.result) << c.what;
        EXPECT_EQ(e.Loader().Chips().count, c.count) << c.what;
        EXPECT_EQ(e.Loader().FlashBase(), c.firstStart) << c.what;
        EXPECT_EQ(e.Loader().FlashCapacity(), c.capacity) << c.what;
        if (c.result != 0) {
            EXPECT_EQ(e.Loader().Chips().chips[0].size, 0u) << c.what;
        }
    }
}

TEST(LoaderEngine, OffsetsReachTheLastByteAndNoFurther) {
    Engine e(Chips({{0x01, 0x2253}}, 0x10C00000));
    ASSERT_EQ(e.Connect(), 0);
    e.Flash()[0x3FFFFF] = 0x5A;
    uint8_t byte = 0;
    EXPECT_EQ(e.Loader().RB(0x3FFFFF, &byte, 1), 0);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(e.Loader().RB(0x400000, &byte, 1), rc::PastEndOfFlash);
    EXPECT_EQ(e.Loader().WB(0x400000, &byte, 1), rc::PastEndOfFlash);
    EXPECT_EQ(e.Loader().FB(0x400000, &byte, 1), rc::PastEndOfFlash);
    uint16_t crc = 0;
    EXPECT_EQ(e.Loader().RangeChecksum(0x400000, 1, &crc), rc::PastEndOfFlash);
}

TEST(LoaderEngine, FlashWritesEraseOnlyWhereABlockStarts) {
    // A 2 MiB part under the catch-all layout: 8 KiB blocks from 16 KiB to 32 KiB.
    Engine e(Chips({{0x01, 0x2249}}, 0x10C00000));
    ASSERT_EQ(e.Connect(), 0);
    const std::vector<uint8_t> before = Pattern(0x10000, 7);
    std::copy(before.begin(), before.end(), e.Flash().begin());
    const std::vector<uint8_t> data = Pattern(0x1000, 8);

    ASSERT_EQ(e.Loader().FB(0x5000, data.data(), 0x1000), 0);  // inside [0x4000, 0x6000)
    ASSERT_EQ(e.Loader().FB(0x6000, data.data(), 0x1000), 0);  // starts [0x6000, 0x8000)
    ASSERT_EQ(e.Loader().WB(0x8000, data.data(), 0x1000), 0);  // a block start, but WB

    for (uint32_t i = 0; i < 0x1000; ++i) {
        ASSERT_EQ(e.Flash()[0x4000 + i], before[0x4000 + i]) << std::hex << i;
        ASSERT_EQ(e.Flash()[0x5000 + i], before[0x5000 + i] & data[i]) << std::hex << i;
        ASSERT_EQ(e.Flash()[0x6000 + i], data[i]) << std::hex << i;
        ASSERT_EQ(e.Flash()[0x7000 + i], 0xFF) << std::hex << i;
        ASSERT_EQ(e.Flash()[0x8000 + i], before[0x8000 + i] & data[i]) << std::hex << i;
        ASSERT_EQ(e.Flash()[0x9000 + i], before[0x9000 + i]) << std::hex << i;
    }
}

TEST(LoaderEngine, FinalisingWritesTheStoreStructuresExactly) {
    Engine e;  // one Intel 4 MiB chip at 0x10C00000
    ASSERT_EQ(e.Connect(), 0);
    LayStore(e.Flash(), Store{});
    std::vector<uint8_t> expected = e.Flash();
    ExpectFinalised(expected);

    ASSERT_EQ(e.Loader().FinaliseFlashStore(), 0);
    EXPECT_TRUE(e.Flash() == expected);
    EXPECT_EQ(Get32(e.Flash(), kOmg + 84) >> 16, 0x8897u);  // chip 0 device in the copy
}

TEST(LoaderEngine, FinalisingLeavesFlashAloneWhenItCannotOrNeedNot) {
    struct Case {
        const char* what;
        uint32_t vector;
        bool omgInUse;
        TResult result;
    };
    const Case cases[] = {
        {"vector below the store's range", 0x10C0FFFF, false, 0},
        {"OMG already written", 0x10C20010, true, rc::FlashStoreNotBlank},
    };
    for (const Case& c : cases) {
        Engine e;
        ASSERT_EQ(e.Connect(), 0);
        Store store;
        store.vector = c.vector;
        LayStore(e.Flash(), store);
        if (c.omgInUse) Put16(e.Flash(), kOmg + 52, 1);
        const std::vector<uint8_t> before = e.Flash();
        EXPECT_EQ(e.Loader().FinaliseFlashStore(), c.result) << c.what;
        EXPECT_TRUE(e.Flash() == before) << c.what;
    }
}

TEST(LoaderEngine, FinalisingStopsAtAHeapHeaderInUseBeforeWritingAnything) {
    Engine e;
    ASSERT_EQ(e.Connect(), 0);
    LayStore(e.Flash(), Store{});
    Put32(e.Flash(), 0x32002, 0x1234);
    const std::vector<uint8_t> before = e.Flash();
    EXPECT_EQ(e.Loader().FinaliseFlashStore(), rc::FlashStoreNotBlank);
    EXPECT_TRUE(e.Flash() == before) << "the whole store is judged before the OMG is written";
}

TEST(LoaderEngine, AnOmgOutsideTheFlashIsNotWrittenOverTheOs) {
    // 8 MiB from 0x11000000: a vector at 0x10C20010 points below the flash. Taken as offset 0,
    // the OMG would be written into the OS's first page, whose bytes 52-53 happen to be blank.
    Engine e(Chips({{0x01, 0x22D7}}, 0));
    ASSERT_EQ(e.Connect(), 0);
    LayStore(e.Flash(), Store{});
    std::fill(e.Flash().begin(), e.Flash().begin() + 176, 0xFF);
    const std::vector<uint8_t> before = e.Flash();
    EXPECT_EQ(e.Loader().FinaliseFlashStore(), rc::BadResetVector);
    EXPECT_TRUE(e.Flash() == before);
}

}  // namespace
