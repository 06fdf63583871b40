#include "sim/SimSerialEdge.h"

#include <gtest/gtest.h>

#include "sim/Handheld.h"
#include "sim/tests/DesktopSide.h"

namespace {

using desk::Be32;

constexpr uint64_t kRequestBytes = 15;  // lead-in, header, CRC of a bodiless request
constexpr uint64_t kVersionReplyBytes = 16;

// Nanoseconds for `bytes` bytes at `bps`, 10 bits a byte.
uint64_t Ns(uint64_t bytes, uint64_t bps) { return bytes * 10 * 1'000'000'000 / bps; }

class SimLineTest : public testing::Test {
protected:
    SimLineTest() : handheld_(Config()), edge_(handheld_, clock_) {
        EXPECT_TRUE(edge_.Open("COM2"));
        SetSpeed(57600);
    }
    static HandheldConfig Config() {
        HandheldConfig config;
        config.mode = HandheldMode::Loader;
        return config;
    }
    void SetSpeed(uint32_t bps) {
        LineSettings settings;
        settings.baudRate = bps;
        EXPECT_TRUE(edge_.SetState(settings));
    }
    void Send(uint8_t type, uint8_t id, const std::vector<uint8_t>& body) {
        const auto request = desk::Request(type, id, body);
        EXPECT_TRUE(edge_.Write(request.data(), static_cast<uint32_t>(request.size())));
    }
    std::vector<desk::Reply> ReadAll() {
        std::vector<uint8_t> bytes;
        uint8_t byte = 0;
        while (edge_.BytesWaiting() > 0 && edge_.ReadByte(byte)) bytes.push_back(byte);
        return desk::Replies(bytes);
    }

    VirtualClock clock_;
    Handheld handheld_;
    SimSerialEdge edge_;
};

TEST_F(SimLineTest, ReplyIsReadableOnlyOnceBothDirectionsHaveCrossed) {
    Send(0, 1, {});
    const uint64_t done = Ns(kRequestBytes, 57600) + Ns(kVersionReplyBytes, 57600);
    clock_.AdvanceToNs(done - 1);
    EXPECT_EQ(edge_.BytesWaiting(), kVersionReplyBytes - 1);
    clock_.AdvanceToNs(done);
    const auto replies = ReadAll();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].type, 0x80);

    // A poller that sleeps a millisecond at a time sees it at the next whole millisecond.
    Send(17, 2, {});
    const uint64_t start = clock_.NowNs();
    while (edge_.BytesWaiting() < 14) clock_.SleepMs(1);
    const uint64_t elapsed = clock_.NowNs() - start;
    EXPECT_GE(elapsed, Ns(kRequestBytes + 14, 57600));
    EXPECT_LT(elapsed, Ns(kRequestBytes + 14, 57600) + 1'000'000);
}

TEST_F(SimLineTest, SpeedSwitchNeedsBothEndsToFollow) {
    SetSpeed(115200);  // the handheld still listens at 57600
    Send(0, 1, {});
    clock_.SleepMs(100);
    EXPECT_TRUE(ReadAll().empty());

    SetSpeed(57600);
    Send(8, 2, Be32(115200));
    clock_.SleepMs(100);
    ASSERT_EQ(ReadAll().size(), 1u);  // the reply comes at the old speed
    Send(0, 3, {});
    clock_.SleepMs(100);
    EXPECT_TRUE(ReadAll().empty());  // the desktop has not switched yet

    SetSpeed(115200);
    const uint64_t start = clock_.NowNs();
    Send(0, 4, {});
    clock_.AdvanceNs(Ns(kRequestBytes + kVersionReplyBytes, 115200));
    const auto replies = ReadAll();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].id, 4);
    EXPECT_EQ(clock_.NowNs() - start, Ns(kRequestBytes + kVersionReplyBytes, 115200));
}

TEST_F(SimLineTest, ReadWaitsOutItsTimeOutOrUntilTheNextByte) {
    CommTimeouts timeouts;  // 250 ms + 1 ms a byte
    ASSERT_TRUE(edge_.SetTimeouts(timeouts));
    uint8_t byte = 0;
    EXPECT_FALSE(edge_.ReadByte(byte));
    EXPECT_EQ(clock_.NowNs(), 251'000'000u);

    const uint64_t start = clock_.NowNs();
    Send(17, 1, {});
    EXPECT_TRUE(edge_.Flush());  // returns once the request has left
    EXPECT_EQ(clock_.NowNs() - start, Ns(kRequestBytes, 57600));
    EXPECT_TRUE(edge_.ReadByte(byte));
    EXPECT_EQ(byte, 0xBE);
    EXPECT_EQ(clock_.NowNs() - start, Ns(kRequestBytes + 1, 57600));
}

TEST_F(SimLineTest, ClosedPortHearsNothingAndLosesWhatArrivedMeanwhile) {
    Send(17, 1, {});
    ASSERT_TRUE(edge_.Close());
    uint8_t byte = 0;
    EXPECT_FALSE(edge_.Write(&byte, 1));
    EXPECT_FALSE(edge_.ReadByte(byte));
    EXPECT_EQ(edge_.BytesWaiting(), 0u);
    clock_.SleepMs(100);
    ASSERT_TRUE(edge_.Open("COM2"));
    EXPECT_EQ(edge_.BytesWaiting(), 0u);
    edge_.SetFailing(SimSerialEdge::Call::Write, true);
    EXPECT_FALSE(edge_.Write(&byte, 1));
}

TEST(SimLineUnpaced, BytesCrossAtOnceButReplyDelaysStay) {
    HandheldConfig config;
    config.mode = HandheldMode::Loader;
    config.faults.delayMs = 40;
    Handheld handheld{config};
    VirtualClock clock;
    SimSerialEdge edge(handheld, clock, false);
    ASSERT_TRUE(edge.Open("COM1"));
    LineSettings settings;
    settings.baudRate = 57600;
    ASSERT_TRUE(edge.SetState(settings));
    const auto request = desk::Request(14, 1, {});
    ASSERT_TRUE(edge.Write(request.data(), static_cast<uint32_t>(request.size())));
    clock.SleepMs(39);
    EXPECT_EQ(edge.BytesWaiting(), 0u);
    clock.SleepMs(1);
    EXPECT_EQ(edge.BytesWaiting(), 14u);
}

}  // namespace
