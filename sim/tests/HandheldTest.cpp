#include "sim/Handheld.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/Crc16.h"
#include "sim/Bootlet.h"
#include "sim/tests/DesktopSide.h"

namespace {

using desk::Ask;
using desk::Be16;
using desk::Be32;
using desk::Cat;

constexpr uint32_t kBase = 0x10C00000;

HandheldConfig LoaderConfig() {
    HandheldConfig config;
    config.mode = HandheldMode::Loader;
    return config;
}

// A reply of exactly one packet with the expected type and id; its body.
std::vector<uint8_t> Only(const std::vector<desk::Reply>& replies, uint8_t type, uint8_t id) {
    EXPECT_EQ(replies.size(), 1u);
    if (replies.size() != 1) return {};
    EXPECT_EQ(replies[0].type, type);
    EXPECT_EQ(replies[0].id, id);
    return replies[0].body;
}

uint16_t Status(const std::vector<desk::Reply>& replies, uint8_t type) {
    const std::vector<uint8_t> body = Only(replies, type, 9);
    EXPECT_EQ(body.size(), 6u);
    return body.size() >= 2 ? desk::U16(body, 0) : 0xDEAD;
}

uint16_t Erase(Handheld& handheld, uint32_t address) {
    return Status(Ask(handheld, 3, 9, Be32(address)), 0x83);
}

uint16_t Program(Handheld& handheld, uint32_t block, uint32_t address,
                 const std::vector<uint8_t>& data) {
    const auto body =
        Cat({Be32(block), Be32(address), Be16(static_cast<uint16_t>(data.size())), data, {0x00}});
    return Status(Ask(handheld, 4, 9, body), 0x84);
}

std::vector<uint8_t> Read(Handheld& handheld, uint32_t address, uint16_t count) {
    return Only(Ask(handheld, 5, 4, Cat({Be32(address), Be16(count)})), 0x85, 4);
}

// The ROM debugger, as the desktop uses it to bring the loader in.

TEST(HandheldDebugger, AnswersStateAndWritesThenStartsAnUploadedLoader) {
    Handheld handheld{HandheldConfig{}};
    EXPECT_EQ(Only(Ask(handheld, 0, 1, {0x00, 0x00}), 0, 1).at(0), 0x80);

    const std::vector<uint8_t> image = BuildBootletPrc();
    for (size_t offset = 0; offset <= image.size(); offset += 256) {
        std::vector<uint8_t> chunk(256, 0);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset),
                    std::min<size_t>(256, image.size() - offset), chunk.begin());
        const auto body =
            Cat({{0x02, 0x00}, Be32(0x10000 + static_cast<uint32_t>(offset)), Be16(256), chunk});
        const uint8_t id = static_cast<uint8_t>(2 + offset / 256);
        EXPECT_EQ(Only(Ask(handheld, 0, id, body), 0, id).size(), 2u);
    }
    EXPECT_TRUE(std::equal(image.begin(), image.end(), handheld.Memory().Ram().begin() + 0x10000));

    // The desktop's search: even offsets 0..2000.
    size_t mark = 0;
    for (size_t at = 0; at <= 2000 && mark == 0; at += 2)
        if (at + 4 <= image.size() && image[at] == 0xFA && image[at + 1] == 0xAB &&
            image[at + 2] == 0xF0 && image[at + 3] == 0x0D)
            mark = at;
    ASSERT_NE(mark, 0u);
    const uint32_t entry = 0x10000 + static_cast<uint32_t>(mark) + 4;
    const auto execute =
        Cat({{0x17, 0x00}, std::vector<uint8_t>(14, 0), Be32(entry), std::vector<uint8_t>(12, 0)});
    EXPECT_TRUE(Ask(handheld, 0, 40, execute).empty());
    EXPECT_EQ(handheld.Mode(), HandheldMode::Loader);

    // The loader now owns the line: a debugger state query is a version query to it.
    EXPECT_EQ(Only(Ask(handheld, 0, 41, {0x00, 0x00}), 0x80, 41), Cat({Be16(32), Be16(0)}));
}

TEST(HandheldDebugger, ExecuteWithoutEntryMarkIsAnsweredAndNothingStarts) {
    Handheld handheld{HandheldConfig{}};
    const auto execute = Cat(
        {{0x17, 0x00}, std::vector<uint8_t>(14, 0), Be32(0x10004), std::vector<uint8_t>(12, 0)});
    EXPECT_EQ(Only(Ask(handheld, 0, 5, execute), 0, 5).size(), 2u);
    EXPECT_EQ(handheld.Mode(), HandheldMode::RomDebugger);
    EXPECT_TRUE(Ask(handheld, 14, 6, {}).empty());  // no loader commands
}

TEST(HandheldDebugger, LowMemoryShowsRamWhereRamBaseIsHigh) {
    HandheldConfig config;
    config.hardwareId = 1;  // RAM at 0x10000000
    Handheld handheld{config};
    const auto body = Cat({{0x02, 0x00}, Be32(0x10000), Be16(4), {1, 2, 3, 4}});
    ASSERT_EQ(Ask(handheld, 0, 1, body).size(), 1u);
    handheld.Reset(HandheldMode::Loader);
    EXPECT_EQ(Read(handheld, 0x10010000, 4), (std::vector<uint8_t>{1, 2, 3, 4}));

    // The RAM store the desktop clears lies at RAM base + 0x40000.
    const auto erase = Cat({Be32(0x10040000), Be16(4096), std::vector<uint8_t>(4096, 0xFF), {0}});
    Only(Ask(handheld, 1, 2, erase), 0x81, 2);
    const std::vector<uint8_t>& ram = handheld.Memory().Ram();
    EXPECT_TRUE(std::all_of(ram.begin() + 0x40000, ram.begin() + 0x41000,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(ram[0x41000], 0);
}

// The loader's commands.

TEST(HandheldLoader, AnswersQueriesWithTheirReplyTypesAndTheRequestId) {
    HandheldConfig config = LoaderConfig();
    config.loaderVersion = 29;
    config.loaderWord2 = 0x0102;
    config.battery = 19;
    config.hardwareId = 6;
    config.chips = {{0x89, 0x8897}, {0x01, 0x2249}, {0x12, 0x3456}};
    Handheld handheld{config};
    EXPECT_EQ(Only(Ask(handheld, 0, 200, {}), 0x80, 200), Cat({Be16(29), Be16(0x0102)}));
    EXPECT_EQ(Only(Ask(handheld, 14, 201, {}), 0x8E, 201), (std::vector<uint8_t>{19, 0}));
    EXPECT_EQ(Only(Ask(handheld, 17, 202, {}), 0x91, 202), Be16(6));
    EXPECT_EQ(Only(Ask(handheld, 2, 255, {}), 0x82, 255),
              Cat({Be16(3), Be32(kBase), Be16(0x89), Be16(0x8897), Be16(0x01), Be16(0x2249),
                   Be16(0x12), Be16(0x3456)}));
    EXPECT_EQ(Only(Ask(handheld, 8, 0, Be32(57600)), 0x88, 0).size(), 0u);
}

TEST(HandheldLoader, UnknownOrMalformedRequestsGetNoReply) {
    Handheld handheld{LoaderConfig()};
    EXPECT_TRUE(Ask(handheld, 6, 1, {}).empty());
    EXPECT_TRUE(Ask(handheld, 0x40, 1, {}).empty());
    EXPECT_TRUE(Ask(handheld, 3, 1, {0x10, 0xC0}).empty());                       // short address
    EXPECT_TRUE(Ask(handheld, 1, 1, Cat({Be32(0x1000), Be16(8), {1}})).empty());  // short data
    EXPECT_TRUE(Ask(handheld, 8, 1, Be32(12345)).empty());                        // odd speed
    EXPECT_EQ(handheld.LineSpeed(), 57600u);
    // Still serving afterwards.
    EXPECT_EQ(Only(Ask(handheld, 17, 2, {}), 0x91, 2), Be16(10));
}

TEST(HandheldLoader, WritesRamAndReadsAnyAddressWithZerosOutsideMemory) {
    Handheld handheld{LoaderConfig()};  // hwid 10: RAM at 0
    Only(Ask(handheld, 1, 1, Cat({Be32(0xFFFF0), Be16(32), std::vector<uint8_t>(32, 0xAB), {0}})),
         0x81, 1);
    const std::vector<uint8_t> read = Read(handheld, 0xFFFF0, 32);  // RAM ends at 0x100000
    EXPECT_EQ(std::count(read.begin(), read.end(), 0xAB), 16);
    EXPECT_EQ(std::count(read.begin(), read.end(), 0x00), 16);
    EXPECT_EQ(Read(handheld, 0x40000000, 3), (std::vector<uint8_t>{0, 0, 0}));
    // Plain writes do not reach flash.
    Only(Ask(handheld, 1, 2, Cat({Be32(kBase), Be16(2), {0, 0}, {0}})), 0x81, 2);
    EXPECT_EQ(Read(handheld, kBase, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}

struct BlockCase {
    const char* name;
    std::vector<ChipCode> chips;
    uint32_t offset;      // flash offset erased at
    uint32_t blockStart;  // flash offset of the block
    uint32_t blockSize;
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.name; }

class HandheldEraseBlocks : public testing::TestWithParam<BlockCase> {};

TEST_P(HandheldEraseBlocks, EraseClearsExactlyTheBlockHoldingTheAddress) {
    const BlockCase& c = GetParam();
    HandheldConfig config = LoaderConfig();
    config.chips = c.chips;
    Handheld handheld{config};
    std::vector<uint8_t>& flash = handheld.Memory().Flash();
    std::fill(flash.begin(), flash.end(), 0);
    EXPECT_EQ(Erase(handheld, kBase + c.offset), 0);
    const auto first = std::find(flash.begin(), flash.end(), 0xFF) - flash.begin();
    const auto count = std::count(flash.begin(), flash.end(), 0xFF);
    EXPECT_EQ(first, c.blockStart);
    EXPECT_EQ(count, c.blockSize);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HandheldEraseBlocks,
    testing::Values(
        BlockCase{"Intel8KBelow64K", {{0x89, 0x8897}}, 0x2345, 0x2000, 0x2000},
        BlockCase{"Intel64KAbove", {{0x89, 0x8897}}, 0x12345, 0x10000, 0x10000},
        BlockCase{"Sst4K", {{0xBF, 0x2782}}, 0x1234, 0x1000, 0x1000},
        BlockCase{"Amd22D7Uniform64K", {{0x01, 0x22D7}}, 0x1234, 0, 0x10000},
        BlockCase{"Atmel32KTo128K", {{0x1F, 0x00C0}}, 0x1A000, 0x18000, 0x8000},
        BlockCase{"Other16KBoot", {{0x20, 0x2249}}, 0x1234, 0, 0x4000},
        BlockCase{"Other8KAt6000", {{0x20, 0x2249}}, 0x6000, 0x6000, 0x2000},
        BlockCase{"Other32KTo64K", {{0x20, 0x2249}}, 0x9000, 0x8000, 0x8000},
        // The second chip's blocks count from its own start.
        BlockCase{"SecondChip", {{0x20, 0x2249}, {0x89, 0x8891}}, 0x202345, 0x202000, 0x2000}),
    [](const testing::TestParamInfo<BlockCase>& c) { return std::string(c.param.name); });

TEST(HandheldLoader, ProgrammingOnlyClearsBits) {
    Handheld handheld{LoaderConfig()};
    EXPECT_EQ(Program(handheld, kBase + 0x10000, kBase + 0x10010, {0xF0, 0x3C}), 0);
    EXPECT_EQ(Read(handheld, kBase + 0x10010, 2), (std::vector<uint8_t>{0xF0, 0x3C}));
    // Without an erase the old bits stay cleared: the new data comes out corrupted.
    EXPECT_EQ(Program(handheld, kBase + 0x10000, kBase + 0x10010, {0x0F, 0xC3}), 0);
    EXPECT_EQ(Read(handheld, kBase + 0x10010, 2), (std::vector<uint8_t>{0x00, 0x00}));
    EXPECT_EQ(Erase(handheld, kBase + 0x10000), 0);
    EXPECT_EQ(Program(handheld, kBase + 0x10000, kBase + 0x10010, {0x0F, 0xC3}), 0);
    EXPECT_EQ(Read(handheld, kBase + 0x10010, 2), (std::vector<uint8_t>{0x0F, 0xC3}));
}

TEST(HandheldLoader, RefusesEraseAndProgramOutsideFlashOrWithAWrongBlockAddress) {
    Handheld handheld{LoaderConfig()};
    const uint32_t end = kBase + 0x400000;
    EXPECT_EQ(Erase(handheld, end), 0xFF9C);
    EXPECT_EQ(Erase(handheld, 0x1000), 0xFF9C);
    EXPECT_EQ(Program(handheld, end, end, {0}), 0xFF9B);
    EXPECT_EQ(Program(handheld, end - 0x10000, end - 2, {0, 0, 0, 0}), 0xFF9B);  // runs past
    EXPECT_EQ(Program(handheld, kBase, kBase + 0x2000, {0}), 0xFF9B);  // block starts 0x2000
    EXPECT_EQ(Read(handheld, kBase + 0x2000, 1), (std::vector<uint8_t>{0xFF}));
    EXPECT_EQ(Program(handheld, kBase + 0x2000, kBase + 0x2000, {0}), 0);
}

TEST(HandheldLoader, ChecksumIsCrc16OfTheRange) {
    Handheld handheld{LoaderConfig()};
    std::vector<uint8_t>& flash = handheld.Memory().Flash();
    for (size_t i = 0; i < flash.size(); ++i) flash[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    auto checksum = [&](uint32_t address, uint32_t length) {
        return desk::U16(Only(Ask(handheld, 11, 3, Cat({Be32(address), Be32(length)})), 0x8B, 3),
                         0);
    };
    EXPECT_EQ(checksum(kBase + 0x1234, 5000), Crc16(flash.data() + 0x1234, 5000));
    EXPECT_EQ(checksum(kBase, 0x400000), Crc16(flash.data(), flash.size()));
    EXPECT_EQ(checksum(kBase, 0), 0);
    // Past the end of flash the range reads as zeros.
    std::vector<uint8_t> tail(flash.end() - 16, flash.end());
    tail.resize(32, 0);
    EXPECT_EQ(checksum(kBase + 0x400000 - 16, 32), Crc16(tail.data(), tail.size()));
}

TEST(HandheldLoader, FindsTheFirstAlignedWordWithLow24BitsSet) {
    Handheld handheld{LoaderConfig()};
    std::vector<uint8_t>& flash = handheld.Memory().Flash();
    std::fill(flash.begin(), flash.end(), 0);
    const uint8_t notFree[] = {0xFF, 0xFF, 0xFF, 0x00};  // at 0x3000: high bits, not low
    const uint8_t unaligned[] = {0xFF, 0xFF, 0xFF};      // at 0x3006
    const uint8_t chunk[] = {0x12, 0xFF, 0xFF, 0xFF};    // at 0x300C
    std::copy(std::begin(notFree), std::end(notFree), flash.begin() + 0x3000);
    std::copy(std::begin(unaligned), std::end(unaligned), flash.begin() + 0x3006);
    std::copy(std::begin(chunk), std::end(chunk), flash.begin() + 0x300C);
    auto find = [&](uint32_t start) {
        const auto body = Cat({Be32(start), Be32(0), Be32(0x80000000), Be32(0), Be32(0x00FFFFFF)});
        return desk::U32(Only(Ask(handheld, 18, 8, body), 0x92, 8), 0);
    };
    EXPECT_EQ(find(kBase + 0x2000), kBase + 0x300C);
    EXPECT_EQ(find(kBase + 0x3001), kBase + 0x300C);
    EXPECT_EQ(find(kBase + 0x300C), kBase + 0x300C);
    EXPECT_EQ(find(kBase + 0x300D), 0u);  // nothing after it
}

TEST(HandheldLoader, LeaveAnswersThenNothingAnswersUntilReset) {
    Handheld handheld{LoaderConfig()};
    EXPECT_TRUE(Only(Ask(handheld, 7, 3, {}), 0x87, 3).empty());
    EXPECT_EQ(handheld.Mode(), HandheldMode::Os);
    EXPECT_TRUE(Ask(handheld, 0, 4, {}).empty());
    EXPECT_TRUE(Ask(handheld, 0, 5, {0x00, 0x00}).empty());
    handheld.Reset(HandheldMode::RomDebugger);
    EXPECT_EQ(Only(Ask(handheld, 0, 6, {0x00, 0x00}), 0, 6).at(0), 0x80);
}

TEST(HandheldLoader, LineSpeedChangesAfterItsReplyLeftAtTheOldSpeed) {
    Handheld handheld{LoaderConfig()};
    const auto request = desk::Request(8, 1, Be32(115200));
    handheld.Receive(request.data(), request.size(), 0);
    Transmission reply;
    ASSERT_TRUE(handheld.TakeTransmission(reply));
    EXPECT_EQ(reply.lineSpeed, 57600u);
    EXPECT_EQ(handheld.LineSpeed(), 115200u);
    const auto version = desk::Request(0, 2, {});
    handheld.Receive(version.data(), version.size(), 0);
    ASSERT_TRUE(handheld.TakeTransmission(reply));
    EXPECT_EQ(reply.lineSpeed, 115200u);
    // A reset brings the handheld back to its starting speed.
    handheld.Reset(HandheldMode::Loader);
    EXPECT_EQ(handheld.LineSpeed(), 57600u);
}

TEST(HandheldLoader, ReportedBaseZeroPutsABigFirstChipAt0x11000000) {
    HandheldConfig config = LoaderConfig();
    config.chips = {{0x89, 0x8899}};
    config.flashBase = 0;
    Handheld handheld{config};
    EXPECT_EQ(desk::U32(Only(Ask(handheld, 2, 1, {}), 0x82, 1), 2), 0u);
    EXPECT_EQ(Erase(handheld, 0x11000000 + 0x7F0000), 0);
    EXPECT_EQ(Erase(handheld, 0x10C00000), 0xFF9C);
}

// The handheld's receiver.

TEST(HandheldFraming, FindsPacketsAmidNoiseSplitsAndBrokenFrames) {
    Handheld handheld{LoaderConfig()};
    std::vector<uint8_t> stream = {0x00, 0xBE, 0x13, 0xBE, 0xEF, 0x80};  // noise, false starts
    auto good = desk::Request(17, 1, {});
    stream.insert(stream.end(), good.begin(), good.end());
    auto badCrc = desk::Request(17, 2, {});
    badCrc.back() ^= 1;
    stream.insert(stream.end(), badCrc.begin(), badCrc.end());
    auto badSum = desk::Request(17, 3, {});
    badSum[3 + 9] ^= 1;
    stream.insert(stream.end(), badSum.begin(), badSum.end());
    auto tooBig = desk::Request(17, 4, {});
    tooBig[3 + 6] = 0xF0;  // 61440-byte body, checksum fixed up so only the size is wrong
    tooBig[3 + 9] = static_cast<uint8_t>(tooBig[3 + 9] + 0xF0);
    stream.insert(stream.end(), tooBig.begin(), tooBig.end());
    auto second = desk::Request(14, 5, {});
    stream.insert(stream.end(), second.begin(), second.end());

    // Fed in uneven pieces, as a serial port hands them over.
    for (size_t at = 0; at < stream.size(); at += 7)
        handheld.Receive(stream.data() + at, std::min<size_t>(7, stream.size() - at), 0);
    const auto replies = desk::Replies(desk::Drain(handheld));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].id, 1);
    EXPECT_EQ(replies[1].id, 5);
}

TEST(HandheldFraming, ForgetsAPacketLeftUnfinishedFor200Ms) {
    Handheld handheld{LoaderConfig()};
    // A program request whose last 80 bytes never come.
    const auto request = desk::Request(
        4, 1, Cat({Be32(kBase), Be32(kBase), Be16(100), std::vector<uint8_t>(101, 0)}));
    handheld.Receive(request.data(), request.size() - 80, 0);
    const auto retry = desk::Request(17, 2, {});
    handheld.Receive(retry.data(), retry.size(), 150'000'000);
    EXPECT_TRUE(desk::Replies(desk::Drain(handheld)).empty());  // still inside the body
    handheld.Receive(retry.data(), retry.size(), 400'000'000);
    EXPECT_EQ(Only(desk::Replies(desk::Drain(handheld)), 0x91, 2), Be16(10));
}

}  // namespace
