// The flash update procedure end to end against the simulated handheld: what lands in its
// flash and RAM, what is refused before anything is erased, and the progress the page sees.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/tests/EngineFixture.h"

namespace {

using namespace engine;

constexpr uint32_t kTotal = 0x400000;  // the default handheld: one Intel 4 MiB boot-block chip

// Erase blocks of that chip, written out independently of the engine's tables.
uint32_t BlockSizeAt(uint32_t offset) { return offset < 0x10000 ? 0x2000 : 0x10000; }

// What flashing `part` does to `flash`: every erase block whose start it passes is erased,
// then the data and the padding of its last 4096-byte block are programmed.
void ExpectFlashed(std::vector<uint8_t>& flash, const OsPart& part, uint8_t padding = 0xA5) {
    const auto size = static_cast<uint32_t>(part.data.size());
    const uint32_t end = part.offset + (size + 4095) / 4096 * 4096;
    for (uint32_t o = part.offset; o < end; o += 4096)
        if (o % BlockSizeAt(o) == 0) std::fill_n(flash.begin() + o, BlockSizeAt(o), uint8_t{0xFF});
    std::fill(flash.begin() + part.offset, flash.begin() + end, padding);
    std::copy(part.data.begin(), part.data.end(), flash.begin() + part.offset);
}

TEST(UpdateJobEngine, FlashesWhatDiffersAndFinalisesTheStore) {
    Engine e;
    ASSERT_EQ(e.Connect(), 0);
    OsWithStore os;
    UpdPlan plan;
    plan.os = os.sections;
    plan.os.push_back({0x40000, Pattern(100, 12), {}});
    // Already on the handheld: left alone, so the old bytes after it in its block survive.
    const OsPart same{0x50000, Pattern(3000, 13), {}};
    plan.os.push_back(same);
    std::fill_n(e.Flash().begin(), 0x10000, uint8_t{0x3C});  // an older OS
    const std::vector<uint8_t> old = Pattern(0x10000, 14);
    std::copy(old.begin(), old.end(), e.Flash().begin() + 0x50000);
    std::copy(same.data.begin(), same.data.end(), e.Flash().begin() + 0x50000);

    std::vector<uint8_t> expected = e.Flash();
    for (std::size_t i = 0; i < 3; ++i) ExpectFlashed(expected, plan.os[i]);
    ExpectFinalised(expected);

    TempFile file(BuildUpd(plan));
    ASSERT_EQ(e.manager->FlashOsImage(Read(file.Path())), 0);
    EXPECT_TRUE(e.Flash() == expected);
    const std::vector<int32_t>& reports = e.callback.reports;
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.front(), 1);
    EXPECT_TRUE(std::all_of(reports.begin(), reports.end() - 1, [](int32_t p) { return p <= 99; }));
    EXPECT_EQ(std::vector<int32_t>(reports.end() - 2, reports.end()),
              (std::vector<int32_t>{99, 100}));
}

TEST(UpdateJobEngine, MatchingSectionsAreNotFlashedAndTheRuleDecidesFinalisation) {
    struct Case {
        uint16_t minor, flag;
        bool finalised;
    };
    const Case cases[] = {{3, 0, true}, {4, 0, false}, {4, 1, true}, {5, 7, true}, {2, 1, false}};
    for (const Case& c : cases) {
        Engine e;
        ASSERT_EQ(e.Connect(), 0);
        OsWithStore os;
        std::copy(os.image.begin(), os.image.end(), e.Flash().begin());
        UpdPlan plan;
        plan.minor = c.minor;
        plan.finaliseFlag = c.flag;
        plan.os = os.sections;
        std::vector<uint8_t> expected = e.Flash();
        if (c.finalised) ExpectFinalised(expected);

        TempFile file(BuildUpd(plan));
        ASSERT_EQ(e.manager->FlashOsImage(Read(file.Path())), 0) << c.minor << "/" << c.flag;
        EXPECT_TRUE(e.Flash() == expected) << c.minor << "/" << c.flag;
        // Totals 65 + 4: the second section starts at 1 + 65 * 98 / 69.
        EXPECT_EQ(e.callback.reports, (std::vector<int32_t>{1, 93, 99, 100}))
            << c.minor << "/" << c.flag;
    }
}

TEST(UpdateJobEngine, A5000ByteSectionGoesAsTwoWholeBlocks) {
    Engine e;
    ASSERT_EQ(e.Connect(), 0);
    const std::vector<uint8_t> old = Pattern(0x20000, 21);
    std::copy(old.begin(), old.end(), e.Flash().begin() + 0x10000);
    UpdPlan plan;
    plan.minor = 2;
    plan.os = {{0x10000, Pattern(5000, 22), {}}};

    TempFile file(BuildUpd(plan));
    ASSERT_EQ(e.manager->FlashOsImage(Read(file.Path())), 0);
    const std::vector<uint8_t>& flash = e.Flash();
    EXPECT_TRUE(
        std::equal(plan.os[0].data.begin(), plan.os[0].data.end(), flash.begin() + 0x10000));
    EXPECT_TRUE(std::all_of(flash.begin() + 0x10000 + 5000, flash.begin() + 0x12000,
                            [](uint8_t b) { return b == 0xA5; }));
    EXPECT_TRUE(std::all_of(flash.begin() + 0x12000, flash.begin() + 0x20000,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::equal(old.begin() + 0x10000, old.end(), flash.begin() + 0x20000));
    // Two blocks count 8 against a size of 5: held at 99 rather than running past 100.
    EXPECT_EQ(e.callback.reports, (std::vector<int32_t>{1, 79, 99, 99, 100}));
}

TEST(UpdateJobEngine, AnAbortIsHonouredAtTheNextBlock) {
    struct Case {
        std::size_t abortAt;  // which report sees the button pressed
        uint32_t blocksWritten;
    };
    const Case cases[] = {{1, 0}, {2, 1}, {3, 2}};
    for (const Case& c : cases) {
        Engine e;
        ASSERT_EQ(e.Connect(), 0);
        const std::vector<uint8_t> old = Pattern(0x10000, 31);
        std::copy(old.begin(), old.end(), e.Flash().begin() + 0x10000);
        UpdPlan plan;
        plan.os = {{0x10000, Pattern(3 * 4096, 32), {}}};
        std::vector<uint8_t> expected = e.Flash();
        if (c.blocksWritten) {
            std::fill_n(expected.begin() + 0x10000, 0x10000, uint8_t{0xFF});
            std::copy_n(plan.os[0].data.begin(), 4096 * c.blocksWritten,
                        expected.begin() + 0x10000);
        }
        e.callback.abortAtReport = c.abortAt;

        TempFile file(BuildUpd(plan));
        EXPECT_EQ(e.manager->FlashOsImage(Read(file.Path())), rc::FlashAborted) << c.abortAt;
        EXPECT_TRUE(e.Flash() == expected) << c.abortAt;
        EXPECT_EQ(e.callback.reports.size(), c.abortAt);
        // The loader stays connected for another try.
        EXPECT_TRUE(e.manager->IsConnected());
    }
}

TEST(UpdateJobEngine, ProgressOfTwoLargeSectionsInBothModes) {
    for (const bool advanced : {false, true}) {
        Engine e;
        ASSERT_EQ(e.Connect(), 0);
        e.manager->Options().advancedMode = advanced;
        UpdPlan plan;
        plan.minor = 2;
        plan.os = {{0x100000, Pattern(100000, 41), {}}, {0x200000, Pattern(100000, 42), {}}};

        // 25 blocks of 4 each per section, out of 200.
        std::vector<int32_t> expected;
        auto p = [&](int32_t x) { return advanced ? 5 + x * 94 / 200 : 1 + x * 98 / 200; };
        for (int32_t section = 0; section < 2; ++section)
            for (int32_t block = 0; block <= 25; ++block)
                expected.push_back(p(100 * section + 4 * block));
        expected.push_back(99);
        expected.push_back(100);

        TempFile file(BuildUpd(plan));
        ASSERT_EQ(e.manager->FlashOsImage(Read(file.Path())), 0);
        EXPECT_EQ(e.callback.reports, expected) << (advanced ? "advanced" : "normal");
        EXPECT_EQ(e.callback.reports.front(), advanced ? 5 : 1);
        EXPECT_EQ(e.callback.reports[26], 50 + (advanced ? 2 : 0));  // the second section
        std::vector<uint8_t> expectedFlash(kTotal, 0xFF);
        for (const OsPart& part : plan.os) ExpectFlashed(expectedFlash, part);
        EXPECT_TRUE(e.Flash() == expectedFlash);
    }
}

TEST(UpdateJobEngine, SectionsThatCannotBeFlashedWholeAreRefusedBeforeAnyErase) {
    struct Case {
        const char* what;
        std::vector<uint32_t> offsets;
        uint32_t lastSize;
        TResult result;
    };
    const Case cases[] = {
        {"inside a 64 KiB block", {0x10000, 0x31000}, 4096, rc::PartialSector},
        {"inside a boot block", {0x0000, 0x3000}, 4096, rc::PartialSector},
        {"runs past the end", {0x10000, 0x3F0000}, 0x10001, rc::PastEndOfFlash},
        {"starts at the end", {0x10000, kTotal}, 16, rc::PastEndOfFlash},
    };
    for (const Case& c : cases) {
        Engine e;
        ASSERT_EQ(e.Connect(), 0);
        const std::vector<uint8_t> old = Pattern(kTotal, 51);
        std::copy(old.begin(), old.end(), e.Flash().begin());
        UpdPlan plan;
        for (std::size_t i = 0; i < c.offsets.size(); ++i)
            plan.os.push_back(
                {c.offsets[i], Pattern(i + 1 == c.offsets.size() ? c.lastSize : 4096, 52), {}});

        TempFile file(BuildUpd(plan));
        EXPECT_EQ(e.manager->FlashOsImage(Read(file.Path())), c.result) << c.what;
        EXPECT_TRUE(e.Flash() == old) << c.what;
        EXPECT_TRUE(e.callback.reports.empty()) << c.what;
    }
}

TEST(UpdateJobEngine, AWriteThatDidNotTakeIsAFlashWriteError) {
    HandheldConfig config = LoaderRunning();
    config.faults.stuckBlocks = {0x20000};
    Engine e(config);
    ASSERT_EQ(e.Connect(), 0);
    const std::vector<uint8_t> old = Pattern(0x10000, 60);
    std::copy(old.begin(), old.end(), e.Flash().begin() + 0x30000);
    UpdPlan plan;
    plan.os = {{0x10000, Pattern(4096, 61), {}},
               {0x20000, Pattern(4096, 62), {}},
               {0x30000, Pattern(4096, 63), {}}};

    TempFile file(BuildUpd(plan));
    EXPECT_EQ(e.manager->FlashOsImage(Read(file.Path())), rc::FlashWriteError);
    // Stopped there: the section after it was not touched.
    EXPECT_TRUE(std::equal(old.begin(), old.end(), e.Flash().begin() + 0x30000));
    EXPECT_TRUE(e.callback.reports.empty() || e.callback.reports.back() < 99);
}

TEST(UpdateJobEngine, AnUpdateFileWithoutOsSectionsDoesNothing) {
    Engine e;
    ASSERT_EQ(e.Connect(), 0);
    OsWithStore os;
    std::copy(os.image.begin(), os.image.end(), e.Flash().begin());
    const std::vector<uint8_t> before = e.Flash();
    TempFile file(BuildUpd(UpdPlan{}));
    EXPECT_EQ(e.manager->FlashOsImage(Read(file.Path())), 0);
    EXPECT_TRUE(e.Flash() == before);  // not even finalised
    EXPECT_TRUE(e.callback.reports.empty());
}

TEST(UpdateJobEngine, FileFailuresComeBackAsTheirCodes) {
    Engine e;
    ASSERT_EQ(e.Connect(), 0);
    EXPECT_EQ(e.manager->FlashOsImage(Read("/nonexistent/kestrel.upd")), rc::UpdateReadError);
    EXPECT_EQ(e.manager->InstallRamImage(Read("/nonexistent/kestrel.upd")), rc::UpdateReadError);
    UpdPlan plan;
    plan.os = {{0x10000, Pattern(4096, 71), {}}};
    std::vector<uint8_t> bytes = BuildUpd(plan);
    bytes[512 * 7] ^= 1;  // inside the section data: the file's CRC no longer matches
    TempFile file(bytes);
    EXPECT_EQ(e.manager->FlashOsImage(Read(file.Path())), rc::UpdateCrcError);
    EXPECT_TRUE(
        std::all_of(e.Flash().begin(), e.Flash().end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST(UpdateJobEngine, RamSectionsLandAtTheirAddressesInChunks) {
    Engine e;  // hardware id 10: RAM from 0
    ASSERT_EQ(e.Connect(), 0);
    const std::vector<uint8_t> old = Pattern(e.Ram().size(), 81);
    std::copy(old.begin(), old.end(), e.Ram().begin());
    UpdPlan plan;
    plan.ram = {{0x50000, Pattern(10000, 82)}, {0x60000, Pattern(700, 83)}, {0x70000, {}}};
    std::vector<uint8_t> expected = old;
    for (const RamPart& part : plan.ram)
        std::copy(part.data.begin(), part.data.end(), expected.begin() + part.address);

    TempFile file(BuildUpd(plan));
    ASSERT_EQ(e.manager->InstallRamImage(Read(file.Path())), 0);
    EXPECT_TRUE(e.Ram() == expected);
    // 10 thousands in all: chunks of 4096, 4096 and 1808 bytes, then 700 bytes that count 0.
    EXPECT_EQ(e.callback.reports, (std::vector<int32_t>{1, 40, 79, 89, 99, 99, 99, 100}));
}

TEST(UpdateJobEngine, AbortDuringRamInstall) {
    Engine e;
    ASSERT_EQ(e.Connect(), 0);
    const std::vector<uint8_t> old = Pattern(e.Ram().size(), 91);
    std::copy(old.begin(), old.end(), e.Ram().begin());
    UpdPlan plan;
    plan.ram = {{0x50000, Pattern(10000, 92)}};
    e.callback.abortAtReport = 2;  // after the first chunk

    TempFile file(BuildUpd(plan));
    EXPECT_EQ(e.manager->InstallRamImage(Read(file.Path())), rc::FlashAborted);
    EXPECT_TRUE(std::equal(plan.ram[0].data.begin(), plan.ram[0].data.begin() + 4096,
                           e.Ram().begin() + 0x50000));
    EXPECT_TRUE(std::equal(old.begin() + 0x51000, old.end(), e.Ram().begin() + 0x51000));
}

}  // namespace
