#include <gtest/gtest.h>

#include <algorithm>

#include "sim/Handheld.h"
#include "sim/tests/DesktopSide.h"

namespace {

using desk::Ask;
using desk::Be16;
using desk::Be32;
using desk::Cat;

constexpr uint32_t kBase = 0x10C00000;

HandheldConfig WithFaults(std::initializer_list<const char*> faults) {
    HandheldConfig config;
    config.mode = HandheldMode::Loader;
    std::string error;
    for (const char* fault : faults) EXPECT_TRUE(ParseFault(fault, config.faults, error)) << error;
    return config;
}

// The raw bytes of one 4096-byte read of a flash filled with a known pattern.
std::vector<uint8_t> RawRead(Handheld& handheld) {
    std::vector<uint8_t>& flash = handheld.Memory().Flash();
    for (size_t i = 0; i < 4096; ++i) flash[i] = static_cast<uint8_t>(i);
    const auto request = desk::Request(5, 1, Cat({Be32(kBase), Be16(4096)}));
    handheld.Receive(request.data(), request.size(), 0);
    return desk::Drain(handheld);
}

TEST(HandheldFaults, CorruptAndDropHitAboutTheirShareRepeatablyPerSeed) {
    Handheld clean{WithFaults({})};
    const std::vector<uint8_t> expected = RawRead(clean);

    Handheld corrupting{WithFaults({"corrupt-out=0.05"})};
    const std::vector<uint8_t> corrupted = RawRead(corrupting);
    ASSERT_EQ(corrupted.size(), expected.size());
    size_t changed = 0;
    for (size_t i = 0; i < expected.size(); ++i) changed += corrupted[i] != expected[i];
    EXPECT_GT(changed, expected.size() * 3 / 100);
    EXPECT_LT(changed, expected.size() * 7 / 100);

    Handheld dropping{WithFaults({"drop-out=0.05"})};
    const std::vector<uint8_t> shortened = RawRead(dropping);
    EXPECT_GT(shortened.size(), expected.size() * 93 / 100);
    EXPECT_LT(shortened.size(), expected.size() * 97 / 100);

    Handheld sameSeed{WithFaults({"corrupt-out=0.05"})};
    EXPECT_EQ(RawRead(sameSeed), corrupted);
    HandheldConfig otherSeed = WithFaults({"corrupt-out=0.05"});
    otherSeed.faults.seed = 2;
    Handheld reseeded{otherSeed};
    EXPECT_NE(RawRead(reseeded), corrupted);
}

TEST(HandheldFaults, IncomingFaultsSpoilRequests) {
    Handheld deaf{WithFaults({"drop-in=1"})};
    EXPECT_TRUE(Ask(deaf, 17, 1, {}).empty());
    Handheld noisy{WithFaults({"corrupt-in=0.5"})};
    int answered = 0;
    for (int i = 0; i < 50; ++i) answered += !Ask(noisy, 17, static_cast<uint8_t>(i), {}).empty();
    EXPECT_LT(answered, 3);
    // Outgoing faults leave requests alone.
    Handheld talkative{WithFaults({"corrupt-out=0"})};
    EXPECT_EQ(Ask(talkative, 17, 1, {}).size(), 1u);
}

TEST(HandheldFaults, StaleCopyWithThePreviousIdComesFirst) {
    Handheld handheld{WithFaults({"stale"})};
    const auto replies = Ask(handheld, 14, 0, {});
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].type, 0x8E);
    EXPECT_EQ(replies[0].id, 255);  // the id before 0
    EXPECT_EQ(replies[1].type, 0x8E);
    EXPECT_EQ(replies[1].id, 0);
    EXPECT_EQ(replies[0].body, replies[1].body);
}

TEST(HandheldFaults, DelayIsCarriedByEveryReply) {
    Handheld handheld{WithFaults({"delay=250"})};
    const auto request = desk::Request(17, 1, {});
    handheld.Receive(request.data(), request.size(), 42);
    Transmission reply;
    ASSERT_TRUE(handheld.TakeTransmission(reply));
    EXPECT_EQ(reply.delayMs, 250u);
    EXPECT_EQ(reply.createdNs, 42u);
}

TEST(HandheldFaults, SilentLoaderStartsButNeverAnswers) {
    HandheldConfig config = WithFaults({"silent-loader"});
    config.mode = HandheldMode::RomDebugger;
    Handheld handheld{config};
    EXPECT_EQ(Ask(handheld, 0, 1, {0x00, 0x00}).size(), 1u);  // the debugger still does
    handheld.Memory().Ram()[0x10000] = 0xFA;
    handheld.Memory().Ram()[0x10001] = 0xAB;
    handheld.Memory().Ram()[0x10002] = 0xF0;
    handheld.Memory().Ram()[0x10003] = 0x0D;
    const auto execute = Cat(
        {{0x17, 0x00}, std::vector<uint8_t>(14, 0), Be32(0x10004), std::vector<uint8_t>(12, 0)});
    EXPECT_TRUE(Ask(handheld, 0, 2, execute).empty());
    EXPECT_EQ(handheld.Mode(), HandheldMode::Loader);
    for (int type : {0, 2, 14, 17})
        EXPECT_TRUE(Ask(handheld, static_cast<uint8_t>(type), 3, {}).empty());
}

TEST(HandheldFaults, LineGoesDeadAfterTheGivenPacketCount) {
    Handheld handheld{WithFaults({"hangup=3"})};
    for (uint8_t id = 1; id <= 3; ++id) EXPECT_EQ(Ask(handheld, 17, id, {}).size(), 1u);
    EXPECT_TRUE(handheld.LineDead());
    EXPECT_TRUE(Ask(handheld, 17, 4, {}).empty());
    handheld.Reset(HandheldMode::RomDebugger);  // a reset does not mend a pulled cable
    EXPECT_TRUE(Ask(handheld, 0, 5, {0x00, 0x00}).empty());
}

TEST(HandheldFaults, StuckBlockReportsSuccessButKeepsItsBytes) {
    Handheld handheld{WithFaults({"stuck-block=0x21234"})};  // the 64 KiB block at 0x20000
    auto program = [&](uint32_t offset) {
        const auto body = Cat(
            {Be32(kBase + (offset & ~0xFFFFu)), Be32(kBase + offset), Be16(4), {0, 0, 0, 0}, {0}});
        return desk::U16(Ask(handheld, 4, 1, body).at(0).body, 0);
    };
    EXPECT_EQ(program(0x20000), 0);
    EXPECT_EQ(program(0x2FFFC), 0);
    EXPECT_EQ(program(0x30000), 0);
    const std::vector<uint8_t>& flash = handheld.Memory().Flash();
    EXPECT_TRUE(std::all_of(flash.begin() + 0x20000, flash.begin() + 0x30000,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(flash[0x30000], 0);
}

}  // namespace
