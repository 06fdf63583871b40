#include "link/PalmDebugger.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/ByteOrder.h"
#include "link/CommPort.h"
#include "link/Guicallback.h"
#include "link/SLK.h"
#include "link/tests/FakeLink.h"
#include "testing/Wire.h"

namespace {

using Bytes = std::vector<uint8_t>;
using wire::Frame;
using wire::Packet;

class RecordingCallback : public GuiCallback {
public:
    void Progress(int32_t value) override {
        reports.push_back(value);
        if (abortAfter > 0 && static_cast<int>(reports.size()) >= abortAfter) RequestAbort();
    }
    std::vector<int32_t> reports;
    int abortAfter = 0;  // the user presses abort while this report is shown
};

// The ROM debugger as the tests need it: answers state and write-memory commands, records
// what was written and executed, and can be told to stay silent.
struct FakeDebugger {
    uint8_t stateByte = 0x80;
    int ignoreWrites = 0;        // this many write commands go unanswered
    bool answerExecute = false;  // a healthy debugger hands over and says nothing
    std::vector<std::pair<uint32_t, Bytes>> writes;
    std::vector<uint32_t> executes;

    void Handle(FakeSerialEdge& edge, const Frame& s) {
        ASSERT_TRUE(s.intact);
        ASSERT_EQ(s.type, 0);
        ASSERT_GE(s.body.size(), 2u);
        switch (s.body[0]) {
            case 0x00:
                ASSERT_EQ(s.body.size(), 2u);
                edge.Feed(Packet(s.id, 0, {stateByte, 0, 0, 0}));
                break;
            case 0x02: {
                const uint16_t count = byteorder::GetBE16(&s.body[6]);
                ASSERT_EQ(s.body.size(), 8u + count);
                if (ignoreWrites > 0) {
                    --ignoreWrites;
                    break;
                }
                writes.push_back(
                    {byteorder::GetBE32(&s.body[2]), Bytes(s.body.begin() + 8, s.body.end())});
                edge.Feed(Packet(s.id, 0, {0x82}));
                break;
            }
            case 0x17:
                ASSERT_EQ(s.body.size(), 32u);
                executes.push_back(byteorder::GetBE32(&s.body[16]));
                if (answerExecute) edge.Feed(Packet(s.id, 0, {0x97}));
                break;
            default: FAIL() << "unexpected command " << int(s.body[0]);
        }
    }
};

class PalmDebuggerTest : public FakeLinkTest {
protected:
    void SetUp() override {
        FakeLinkTest::SetUp();
        if (HasFatalFailure()) return;
        sent.clear();
        dbg = std::make_unique<TPalmDebugger>(slk.get(), &callback);
        fake->onFlush = [this] {
            const auto packets = wire::SentPackets(fake->wire);
            sent.push_back(packets.back());
            if (!silent) handheld.Handle(*fake, sent.back());
        };
    }

    // An image with the entry mark at `markOffset` (none when negative).
    static Bytes Image(size_t size, long markOffset) {
        Bytes image(size);
        for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
        for (size_t i = 0; i + 3 < size; ++i)  // no accidental marks
            if (image[i] == 0xFA) image[i] = 0xFB;
        if (markOffset >= 0) {
            const uint8_t mark[] = {0xFA, 0xAB, 0xF0, 0x0D};
            std::copy(mark, mark + 4, image.begin() + markOffset);
        }
        return image;
    }

    RecordingCallback callback;
    std::unique_ptr<TPalmDebugger> dbg;
    FakeDebugger handheld;
    bool silent = false;
    std::vector<Frame> sent;
};

TEST_F(PalmDebuggerTest, StateQueryRestartsTheCounterAndChecksTheReply) {
    ASSERT_EQ(dbg->QueryState(), 0);
    ASSERT_EQ(dbg->QueryState(), 0);
    EXPECT_EQ(sent[0].id, 1);
    EXPECT_EQ(sent[1].id, 1);

    handheld.stateByte = 0x81;
    EXPECT_EQ(dbg->QueryState(), -406);

    silent = true;
    const uint32_t start = clock->NowMs();
    EXPECT_EQ(dbg->QueryState(), -405);
    EXPECT_EQ(ElapsedMs(start, clock->NowMs()), 500u);
    EXPECT_EQ(sent.size(), 4u);  // no retry
}

TEST_F(PalmDebuggerTest, WriteMemoryHasTwoAttemptsOfOneSecond) {
    const Bytes data = {1, 2, 3};
    handheld.ignoreWrites = 1;
    const uint32_t start = clock->NowMs();
    ASSERT_EQ(dbg->WriteMemory(0x00010100, data.data(), 3), 0);
    EXPECT_EQ(ElapsedMs(start, clock->NowMs()), 1000u);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].body, (Bytes{0x02, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x03, 1, 2, 3}));
    EXPECT_EQ(sent[1].id, uint8_t(sent[0].id + 1));

    handheld.ignoreWrites = 2;
    EXPECT_EQ(dbg->WriteMemory(0x00010100, data.data(), 3), -405);
    EXPECT_EQ(sent.size(), 4u);
}

TEST_F(PalmDebuggerTest, ExecuteSucceedsOnSilenceAndFailsOnAnAnswer) {
    ASSERT_EQ(dbg->Execute(0x00010068), 0);
    Bytes expected(32, 0);
    expected[0] = 0x17;
    expected[17] = 0x01;
    expected[19] = 0x68;
    EXPECT_EQ(sent.back().body[0], 0x17);
    EXPECT_EQ(Bytes(sent.back().body.begin() + 2, sent.back().body.end()),
              Bytes(expected.begin() + 2, expected.end()));
    handheld.answerExecute = true;
    EXPECT_EQ(dbg->Execute(0x00010068), -404);
}

TEST_F(PalmDebuggerTest, UploadWritesChunksReportsProgressAndStartsTheLoader) {
    const struct {
        uint32_t size;
        std::vector<int32_t> progress;
    } cases[] = {
        {600, {0, 1, 3, 4}},
        {512, {0, 2, 4, 4}},  // a multiple of 256 gets one more chunk at its end
        {100, {0, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        SetUp();
        handheld = FakeDebugger{};
        callback.reports.clear();
        const Bytes image = Image(c.size, 40);
        ASSERT_EQ(dbg->UploadLoader(image.data(), c.size, c.size), 0);
        EXPECT_EQ(callback.reports, c.progress);
        ASSERT_EQ(handheld.writes.size(), c.size / 256 + 1);
        Bytes onHandheld;
        for (size_t i = 0; i < handheld.writes.size(); ++i) {
            EXPECT_EQ(handheld.writes[i].first, 0x00010000u + 256 * i);
            ASSERT_EQ(handheld.writes[i].second.size(), 256u);
            onHandheld.insert(onHandheld.end(), handheld.writes[i].second.begin(),
                              handheld.writes[i].second.end());
        }
        // The image, then zeros for what lies past the caller's buffer.
        EXPECT_EQ(Bytes(onHandheld.begin(), onHandheld.begin() + c.size), image);
        EXPECT_EQ(Bytes(onHandheld.begin() + c.size, onHandheld.end()),
                  Bytes(onHandheld.size() - c.size, 0));
        EXPECT_EQ(handheld.executes, (std::vector<uint32_t>{0x00010000 + 40 + 4}));
    }
}

TEST_F(PalmDebuggerTest, EntryMarkIsSoughtAtEvenOffsetsUpTo2000) {
    const struct {
        long mark;
        bool found;
    } cases[] = {{0, true}, {2000, true}, {1001, false}, {2002, false}, {-1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mark);
        SetUp();
        handheld = FakeDebugger{};
        const Bytes image = Image(2100, c.mark);
        EXPECT_EQ(dbg->UploadLoader(image.data(), 2100, 2100), c.found ? 0 : -404);
        EXPECT_EQ(handheld.writes.size(), 9u);  // written before the mark is looked for
        EXPECT_EQ(handheld.executes.size(), c.found ? 1u : 0u);
    }
}

TEST_F(PalmDebuggerTest, UploadFailuresHaveTheirCodes) {
    const Bytes image = Image(600, 40);

    handheld.answerExecute = true;
    EXPECT_EQ(dbg->UploadLoader(image.data(), 600, 600), -404);

    // Two failed attempts are followed by a second try of the whole write.
    SetUp();
    handheld = FakeDebugger{};
    handheld.ignoreWrites = 3;
    EXPECT_EQ(dbg->UploadLoader(image.data(), 600, 600), 0);
    EXPECT_EQ(handheld.writes.size(), 3u);
    SetUp();
    handheld = FakeDebugger{};
    handheld.ignoreWrites = 4;
    EXPECT_EQ(dbg->UploadLoader(image.data(), 600, 600), -405);
    EXPECT_TRUE(handheld.executes.empty());
}

TEST_F(PalmDebuggerTest, AbortIsSeenAtEachProgressPoint) {
    const Bytes image = Image(600, 40);
    for (int after : {0, 1, 3}) {  // before a chunk, mid-way, before the final report
        SCOPED_TRACE(after);
        SetUp();
        handheld = FakeDebugger{};
        callback.reports.clear();
        callback.ClearAbort();
        callback.abortAfter = after;
        if (after == 0) callback.RequestAbort();
        EXPECT_EQ(dbg->UploadLoader(image.data(), 600, 600), -407);
        EXPECT_EQ(handheld.writes.size(), static_cast<size_t>(after));
        EXPECT_TRUE(handheld.executes.empty());
    }
}

TEST_F(PalmDebuggerTest, EmptyImageReportsZeroProgress) {
    Bytes buffer = {0xFA, 0xAB, 0xF0, 0x0D};
    EXPECT_EQ(dbg->UploadLoader(buffer.data(), 0, 4), 0);
    EXPECT_EQ(callback.reports, (std::vector<int32_t>{0, 4}));
    ASSERT_EQ(handheld.writes.size(), 1u);
    EXPECT_EQ(Bytes(handheld.writes[0].second.begin(), handheld.writes[0].second.begin() + 5),
              (Bytes{0xFA, 0xAB, 0xF0, 0x0D, 0}));
}

}  // namespace
