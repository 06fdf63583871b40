#include "link/Cmd.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/Log.h"
#include "link/CommPort.h"
#include "link/SLK.h"
#include "link/tests/FakeLink.h"
#include "testing/Wire.h"

namespace {

using Bytes = std::vector<uint8_t>;
using wire::Frame;
using wire::Packet;

class CmdTest : public FakeLinkTest {
protected:
    void SetUp() override {
        FakeLinkTest::SetUp();
        if (HasFatalFailure()) return;
        cmd = std::make_unique<TCmd>(slk.get());
        fake->onFlush = [this] {
            const auto packets = wire::SentPackets(fake->wire);
            ASSERT_FALSE(packets.empty());
            sent.push_back(packets.back());
            if (handheld) handheld(sent.back());
        };
    }
    void TearDown() override { SetLogThreshold(-1); }

    // The loader as most tests want it: answers every command at once with `body`.
    void AnswerWith(Bytes body, uint32_t delayMs = 0) {
        handheld = [this, body, delayMs](const Frame& s) {
            fake->Feed(Packet(s.id, uint8_t(0x80 | s.type), body), delayMs);
        };
    }

    std::unique_ptr<TCmd> cmd;
    std::vector<Frame> sent;
    std::function<void(const Frame&)> handheld;
};

TEST_F(CmdTest, EveryCommandSendsItsBodyAndReadsItsReply) {
    uint16_t w1 = 0, w2 = 0;
    uint32_t u = 0;
    uint8_t byte = 0;
    uint8_t mem[4] = {};
    ChipListReply chips;
    const Bytes data = {0xAA, 0xBB, 0xCC};
    struct Case {
        const char* what;
        std::function<TResult()> call;
        uint8_t type;
        Bytes body;
        Bytes reply;
        std::function<void()> check;
    } cases[] = {
        {"version",
         [&] { return cmd->GetVersion(&w1, &w2); },
         0,
         {},
         {0x00, 0x02, 0x00, 0x33},
         [&] {
             EXPECT_EQ(w1, 2);
             EXPECT_EQ(w2, 0x33);
         }},
        {"write RAM",
         [&] { return cmd->WriteRAM(0x12345678, data.data(), 3); },
         1,
         {0x12, 0x34, 0x56, 0x78, 0x00, 0x03, 0xAA, 0xBB, 0xCC, 0x00},
         {},
         [] {}},
        {"chip list",
         [&] { return cmd->GetChipList(&chips); },
         2,
         {},
         {0x00, 0x02, 0x10, 0xC0, 0x00, 0x00, 0x00, 0x01, 0x22, 0x49, 0x00, 0x04, 0x22, 0xC4},
         [&] {
             EXPECT_EQ(chips.count, 2);
             EXPECT_EQ(chips.flashBase, 0x10C00000u);
             EXPECT_EQ(chips.chips[0].manufacturer, 0x0001);
             EXPECT_EQ(chips.chips[0].device, 0x2249);
             EXPECT_EQ(chips.chips[1].manufacturer, 0x0004);
             EXPECT_EQ(chips.chips[1].device, 0x22C4);
             EXPECT_EQ(chips.chips[2].device, 0);
         }},
        {"erase",
         [&] { return cmd->EraseBlock(0x10C10000); },
         3,
         {0x10, 0xC1, 0x00, 0x00},
         {0, 0, 0xDE, 0xAD, 0xBE, 0xEF},
         [] {}},
        {"program",
         [&] { return cmd->ProgramFlash(0x10C10000, 0x10C10010, data.data(), 3); },
         4,
         {0x10, 0xC1, 0x00, 0x00, 0x10, 0xC1, 0x00, 0x10, 0x00, 0x03, 0xAA, 0xBB, 0xCC, 0x00},
         {0, 0, 0, 0, 0, 0},
         [] {}},
        {"read",
         [&] { return cmd->ReadMemory(0x10C00000, mem, 4); },
         5,
         {0x10, 0xC0, 0x00, 0x00, 0x00, 0x04},
         {9, 8, 7, 6},
         [&] {
             EXPECT_EQ(Bytes(mem, mem + 4), (Bytes{9, 8, 7, 6}));
         }},
        {"leave", [&] { return cmd->Leave(); }, 7, {}, {}, [] {}},
        {"line speed",
         [&] { return cmd->SetLineSpeed(115200); },
         8,
         {0x00, 0x01, 0xC2, 0x00},
         {},
         [] {}},
        {"checksum",
         [&] { return cmd->RangeChecksum(0x10C00000, 0x10000, &w1); },
         11,
         {0x10, 0xC0, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00},
         {0x12, 0x34},
         [&] { EXPECT_EQ(w1, 0x1234); }},
        {"battery",
         [&] { return cmd->BatteryPercent(&byte); },
         14,
         {},
         {87, 0},
         [&] { EXPECT_EQ(byte, 87); }},
        {"hardware id",
         [&] { return cmd->HardwareId(&w1); },
         17,
         {},
         {0x00, 0x0A},
         [&] { EXPECT_EQ(w1, 0x000A); }},
        {"find free chunk",
         [&] { return cmd->FindFreeChunk(0x10C20000, &u); },
         18,
         {0x10, 0xC2, 0x00, 0x00, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xFF, 0xFF, 0xFF},
         {0x10, 0xC3, 0x00, 0x00},
         [&] { EXPECT_EQ(u, 0x10C30000u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sent.clear();
        AnswerWith(c.reply);
        ASSERT_EQ(c.call(), 0);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(sent[0].intact);
        EXPECT_EQ(sent[0].type, c.type);
        EXPECT_EQ(sent[0].body, c.body);
        c.check();
    }
}

TEST_F(CmdTest, EraseAndProgramStatusWordsAreResultCodes) {
    const uint8_t data[1] = {0};
    const struct {
        Bytes status;
        TResult code;
    } cases[] = {{{0xFF, 0x9C}, -100}, {{0xFF, 0x9B}, -101}, {{0xFF, 0x98}, -104}};
    for (const auto& c : cases) {
        AnswerWith({c.status[0], c.status[1], 0, 0, 0, 0});
        EXPECT_EQ(cmd->EraseBlock(0x10C00000), c.code);
        EXPECT_EQ(cmd->ProgramFlash(0x10C00000, 0x10C00000, data, 1), c.code);
    }
}

TEST_F(CmdTest, SilentLoaderCostsThreeAttemptsOfTheCommandsTimeoutWithOneId) {
    uint16_t w = 0;
    uint8_t b = 0, mem[2];
    // Each command waits the time-out of its row in link/Commands.def.
    const struct {
        std::function<TResult()> call;
        uint8_t code;
        Bytes reply;
    } cases[] = {
        {[&] { return cmd->GetVersion(&w, &w); }, loader::Version, Bytes(4)},
        {[&] { return cmd->WriteRAM(0, mem, 2); }, loader::WriteRam, {}},
        {[&] { return cmd->GetChipList(nullptr); }, loader::ChipList, Bytes(6)},
        {[&] { return cmd->EraseBlock(0); }, loader::EraseBlock, Bytes(6)},
        {[&] { return cmd->ProgramFlash(0, 0, mem, 2); }, loader::ProgramFlash, Bytes(6)},
        {[&] { return cmd->ReadMemory(0, mem, 2); }, loader::ReadMemory, Bytes(2)},
        {[&] { return cmd->Leave(); }, loader::Leave, {}},
        {[&] { return cmd->SetLineSpeed(57600); }, loader::LineSpeed, {}},
        {[&] { return cmd->RangeChecksum(0, 1, &w); }, loader::Checksum, Bytes(2)},
        {[&] { return cmd->BatteryPercent(&b); }, loader::Battery, Bytes(2)},
        {[&] { return cmd->HardwareId(&w); }, loader::HardwareId, Bytes(2)},
        {[&] { return cmd->FindFreeChunk(0, nullptr); }, loader::FindFreeChunk, Bytes(4)},
    };
    ASSERT_EQ(std::size(cases), std::size(kLoaderCommands));
    SetLogThreshold(3);
    for (const auto& c : cases) {
        const LoaderCommandInfo& row = LoaderCommand(c.code);
        SCOPED_TRACE(row.name);
        sent.clear();
        handheld = nullptr;
        const uint32_t start = clock->NowMs();
        EXPECT_EQ(c.call(), -1200);
        EXPECT_EQ(ElapsedMs(start, clock->NowMs()), 3 * row.timeoutMs);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent[0].type, c.code);
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_TRUE(sent[0].id == sent[1].id && sent[1].id == sent[2].id);
        EXPECT_STREQ(LastLogLine(), "SLKReceivePacket Timeout\n");

        // A reply in the last millisecond of the first attempt is still in time.
        sent.clear();
        AnswerWith(c.reply, row.timeoutMs - 1);
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(sent.size(), 1u);
    }
}

TEST(LoaderCommands, SpotRows) {
    // The longest and shortest waits, and the reply a chip list can fill.
    EXPECT_EQ(LoaderCommand(loader::EraseBlock).timeoutMs, 10000u);
    EXPECT_EQ(LoaderCommand(loader::Battery).timeoutMs, 250u);
    EXPECT_EQ(LoaderCommand(loader::ChipList).reply, 98u);
    EXPECT_EQ(loader::FindFreeChunk, 18);
    EXPECT_EQ(DebuggerCommand(debugger::Execute).code, 0x17);
    EXPECT_EQ(DebuggerCommand(debugger::WriteMemory).attempts, 2);
    for (const LoaderCommandInfo& c : kLoaderCommands) {
        EXPECT_EQ(FindLoaderCommand(c.code), &c) << c.name << ": two rows share a code";
        EXPECT_LT(c.code, loader::kReplyBit) << c.name << ": its reply type would be ambiguous";
    }
}

TEST_F(CmdTest, ALineThatHungUpEndsTheTransactionAtOnce) {
    // Waiting out three time-outs for a device that is gone would only keep the user waiting.
    fake->dropped = true;
    const uint32_t start = clock->NowMs();
    EXPECT_EQ(cmd->EraseBlock(0x10C00000), rc::ConnectionLost);
    EXPECT_LT(ElapsedMs(start, clock->NowMs()), 10u);
}

TEST_F(CmdTest, StaleOrMistypedRepliesAreLoggedAndIgnored) {
    SetLogThreshold(5);
    handheld = [this](const Frame& s) {
        fake->Feed(Packet(uint8_t(s.id - 1), 0x8E, {50, 0}));  // late reply of the last command
        fake->Feed(Packet(s.id, 0x91, {0, 1}), 10);            // right id, wrong command
        fake->Feed(Packet(s.id, 0x8E, {60, 0}), 200);          // ours, still within 250 ms
    };
    uint8_t percent = 0;
    ASSERT_EQ(cmd->BatteryPercent(&percent), 0);
    EXPECT_EQ(percent, 60);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_STREQ(LastLogLine(), "Bad Response: ctrl:145 id:1 size: 2\n");
}

TEST_F(CmdTest, AReplyStillArrivingAtTheTimeoutIsWaitedFor) {
    handheld = [this](const Frame& s) {
        const Bytes p = Packet(s.id, 0x80, {0, 2, 0, 0});
        for (size_t i = 0; i < p.size(); ++i) fake->Feed({p[i]}, 490 + 10 * int64_t(i));
    };
    uint16_t version = 0;
    EXPECT_EQ(cmd->GetVersion(&version, nullptr), 0);
    EXPECT_EQ(version, 2);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(CmdTest, AReplyThatCameWhileTheFrontEndHadTheThreadIsNoTimeout) {
    // The user ponders the abort question for longer than the command's time-out; the reply
    // came meanwhile and must not cost a second sending.
    RecordingIdle idle;
    bool pondered = false;
    idle.onIdle = [&] {
        if (!pondered) clock->Advance(10000);
        pondered = true;
    };
    port->SetIdle(&idle);
    AnswerWith({}, 100);
    const uint8_t data[2] = {1, 2};
    EXPECT_EQ(cmd->WriteRAM(0x1000, data, 2), 0);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_TRUE(pondered);
}

TEST_F(CmdTest, TransactionIdStartsAtOneAndWrapsThroughZero) {
    AnswerWith({});
    for (int i = 0; i < 257; ++i) ASSERT_EQ(cmd->Leave(), 0);
    ASSERT_EQ(sent.size(), 257u);
    EXPECT_EQ(sent[0].id, 1);
    EXPECT_EQ(sent[254].id, 255);
    EXPECT_EQ(sent[255].id, 0);
    EXPECT_EQ(sent[256].id, 1);
}

TEST_F(CmdTest, AFailedSendIsAnAttempt) {
    SetLogThreshold(3);
    AnswerWith({});
    fake->failWriteAt = 0;
    EXPECT_EQ(cmd->Leave(), 0);
    EXPECT_EQ(sent.size(), 1u);  // the second attempt, answered

    fake->failing = {FakeSerialEdge::kWrite};
    const uint32_t start = clock->NowMs();
    EXPECT_EQ(cmd->Leave(), -1200);
    EXPECT_EQ(ElapsedMs(start, clock->NowMs()), 0u);  // nothing to wait for
}

TEST_F(CmdTest, ReplyFieldsTheLoaderLeftOutReadAsZero) {
    // A longer bad reply fills the buffer first; the short good one must not inherit it.
    handheld = [this](const Frame& s) {
        fake->Feed(Packet(uint8_t(s.id + 1), 0x80, {0xFF, 0xFF, 0xFF, 0xFF}));
        fake->Feed(Packet(s.id, 0x80, {0x00, 0x05}), 5);
    };
    uint16_t version = 1, second = 1;
    ASSERT_EQ(cmd->GetVersion(&version, &second), 0);
    EXPECT_EQ(version, 5);
    EXPECT_EQ(second, 0);
}

TEST_F(CmdTest, RequestsLargerThanTheRequestAreaAreRefusedUnsent) {
    const Bytes big(6144, 0);
    EXPECT_EQ(cmd->WriteRAM(0, big.data(), 6144 - 6), -614);
    EXPECT_EQ(cmd->ProgramFlash(0, 0, big.data(), 6144 - 10), -614);
    EXPECT_TRUE(fake->wire.empty());
    AnswerWith({});
    EXPECT_EQ(cmd->WriteRAM(0, big.data(), 6144 - 7), 0);
}

}  // namespace
