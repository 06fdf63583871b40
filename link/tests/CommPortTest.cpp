#include "link/CommPort.h"

#include <gtest/gtest.h>

#include "link/tests/FakeLink.h"
#include "testing/FakeSerialEdge.h"

namespace {

using Op = FakeSerialEdge::Op;

struct PortWithFake {
    PortWithFake() {
        auto edge = std::make_unique<FakeSerialEdge>();
        fake = edge.get();
        record = fake->GetRecord();
        port = std::make_unique<TCommPort>(std::move(edge));
    }
    FakeSerialEdge* fake;
    std::shared_ptr<FakeSerialEdge::Record> record;
    std::unique_ptr<TCommPort> port;
};

TEST(CommPort, OpenAppliesOurFourSettingsOverTheDriversAndTheTimeouts) {
    PortWithFake p;
    ASSERT_EQ(p.port->Open(), 0);
    EXPECT_TRUE(p.port->IsOpen());
    EXPECT_EQ(p.record->openedName, "COM2");
    const LineSettings& s = p.record->applied;
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.stopBits, 0);
    const CommTimeouts& t = p.record->timeouts;
    EXPECT_EQ(t.readInterval, 15u);
    EXPECT_EQ(t.readTotalMultiplier, 1u);
    EXPECT_EQ(t.readTotalConstant, 250u);
    EXPECT_EQ(t.writeTotalMultiplier, 1u);
    EXPECT_EQ(t.writeTotalConstant, 250u);
    EXPECT_EQ(p.record->calls,
              (std::vector<Op>{Op::kOpen, Op::kGetState, Op::kSetState, Op::kSetTimeouts}));
}

TEST(CommPort, EachFailingOpenStepHasItsCodeAndLeavesThePortClosed) {
    struct Case {
        Op failing;
        TResult code;
        bool closesHandle;
    } cases[] = {
        {Op::kOpen, -607, false},
        {Op::kGetState, -608, true},
        {Op::kSetState, -609, true},
        {Op::kSetTimeouts, -610, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        PortWithFake p;
        ASSERT_EQ(p.port->SetBaudRate(57600), 0);
        p.fake->failing = {c.failing};
        EXPECT_EQ(p.port->Open(), c.code);
        EXPECT_FALSE(p.port->IsOpen());
        EXPECT_EQ(p.record->calls.back() == Op::kClose, c.closesHandle);
        // The rate asked for survives the failure, and the port can be opened again.
        p.fake->failing.clear();
        EXPECT_EQ(p.port->Open(), 0);
        EXPECT_EQ(p.record->applied.baudRate, 57600u);
    }
}

TEST(CommPort, BaudRateOfAClosedPortIsOnlyStoredAndAppliedAtOpen) {
    PortWithFake p;
    EXPECT_EQ(p.port->SetBaudRate(57600), 0);
    EXPECT_TRUE(p.record->calls.empty());
    ASSERT_EQ(p.port->Open(), 0);
    EXPECT_EQ(p.record->applied.baudRate, 57600u);
}

TEST(CommPort, BaudRateOfAnOpenPortAppliesAtOnceAndIsRestoredOnFailure) {
    PortWithFake p;
    ASSERT_EQ(p.port->SetBaudRate(57600), 0);
    ASSERT_EQ(p.port->Open(), 0);
    EXPECT_EQ(p.port->SetBaudRate(115200), 0);
    EXPECT_EQ(p.record->applied.baudRate, 115200u);

    p.fake->failing = {Op::kSetState};
    EXPECT_EQ(p.port->SetBaudRate(230400), -603);
    EXPECT_EQ(p.port->BaudRate(), 115200u);
    EXPECT_TRUE(p.port->IsOpen());
    // A later reopen uses the restored rate, not the rejected one.
    p.fake->failing.clear();
    ASSERT_EQ(p.port->Close(), 0);
    ASSERT_EQ(p.port->Open(), 0);
    EXPECT_EQ(p.record->applied.baudRate, 115200u);
}

TEST(CommPort, OpenTwiceAndCloseTwiceTouchTheDeviceOnce) {
    PortWithFake p;
    ASSERT_EQ(p.port->Open(), 0);
    const size_t calls = p.record->calls.size();
    EXPECT_EQ(p.port->Open(), 0);
    EXPECT_EQ(p.record->calls.size(), calls);
    EXPECT_EQ(p.port->Close(), 0);
    EXPECT_EQ(p.port->Close(), 0);
    EXPECT_EQ(p.record->calls.size(), calls + 1);
}

TEST(CommPort, FailedCloseKeepsThePortOpenAndDestroyClosesIt) {
    PortWithFake p;
    ASSERT_EQ(p.port->Open(), 0);
    p.fake->failing = {Op::kClose};
    EXPECT_EQ(p.port->Close(), -606);
    EXPECT_TRUE(p.port->IsOpen());
    p.fake->failing.clear();
    auto record = p.record;
    p.port.reset();
    EXPECT_EQ(record->calls.back(), Op::kClose);
}

TEST(CommPort, NamingFlushAndIoFollowTheOpenState) {
    PortWithFake p;
    uint8_t byte = 0;
    EXPECT_FALSE(p.port->Write("x", 1));
    EXPECT_TRUE(p.port->Write("x", 0));
    EXPECT_TRUE(p.port->Write(nullptr, 5));
    EXPECT_FALSE(p.port->ReadByte(&byte));
    EXPECT_EQ(p.port->BytesAvailable(), 0u);
    EXPECT_EQ(p.port->Flush(), -616);

    EXPECT_EQ(p.port->SetPortName("COM1"), 0);
    // Longer than the 31 characters the name holds: refused, the old name kept.
    EXPECT_EQ(p.port->SetPortName("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART-port0"), -605);
    EXPECT_STREQ(p.port->PortName(), "COM1");
    ASSERT_EQ(p.port->Open(), 0);
    EXPECT_EQ(p.record->openedName, "COM1");
    EXPECT_EQ(p.port->SetPortName("COM3"), -604);
    EXPECT_STREQ(p.port->PortName(), "COM1");

    EXPECT_EQ(p.port->Flush(), 0);
    p.fake->failing = {Op::kFlush};
    EXPECT_EQ(p.port->Flush(), -617);
}

TEST(CommPortWait, EndsAtTheFirstByteAtTheTimeOrAtOnceOnADroppedLine) {
    ScopedManualClock clock;
    PortWithFake p;
    auto waitFor = [&](uint32_t ms, bool expected) {
        const uint32_t start = clock->NowMs();
        EXPECT_EQ(p.port->WaitForInput(ms), expected);
        return ElapsedMs(start, clock->NowMs());
    };
    EXPECT_EQ(waitFor(500, false), 0u) << "a closed port has nothing to wait for";
    ASSERT_EQ(p.port->Open(), 0);
    p.fake->Feed({0x42}, 30);
    EXPECT_EQ(waitFor(500, true), 30u);
    EXPECT_EQ(waitFor(500, true), 0u) << "the byte is still there";
    uint8_t byte = 0;
    ASSERT_TRUE(p.port->ReadByte(&byte));
    EXPECT_EQ(byte, 0x42);
    EXPECT_EQ(waitFor(500, false), 500u);
    EXPECT_EQ(waitFor(0, false), 0u);
    p.fake->dropped = true;
    EXPECT_EQ(waitFor(500, true), 0u);
    EXPECT_TRUE(p.port->LineDropped());
}

TEST(CommPortWait, AFrontEndThatWantsTheThreadHasItEvery40MsAndTheTimesStayExact) {
    ScopedManualClock clock;
    PortWithFake p;
    RecordingIdle idle;
    p.port->SetIdle(&idle);
    ASSERT_EQ(p.port->Open(), 0);

    p.fake->Feed({1}, 130);
    uint32_t start = clock->NowMs();
    EXPECT_TRUE(p.port->WaitForInput(1000));
    EXPECT_EQ(ElapsedMs(start, clock->NowMs()), 130u);
    EXPECT_LE(idle.LongestGap(start, clock->NowMs()), TCommPort::kIdleEveryMs);
    EXPECT_LE(p.fake->longestWaitMs, TCommPort::kIdleEveryMs);
    uint8_t byte = 0;
    ASSERT_TRUE(p.port->ReadByte(&byte));

    idle.at.clear();
    start = clock->NowMs();
    EXPECT_FALSE(p.port->WaitForInput(1000));
    EXPECT_EQ(ElapsedMs(start, clock->NowMs()), 1000u);
    EXPECT_LE(idle.LongestGap(start, clock->NowMs()), TCommPort::kIdleEveryMs);

    // A pause lasts its whole time, whatever arrives.
    idle.at.clear();
    p.fake->Feed({2}, 10);
    start = clock->NowMs();
    p.port->Pause(500);
    EXPECT_EQ(ElapsedMs(start, clock->NowMs()), 500u);
    EXPECT_LE(idle.LongestGap(start, clock->NowMs()), TCommPort::kIdleEveryMs);
    EXPECT_EQ(p.port->BytesAvailable(), 1u);

    // Nobody wanting it: one wait for the whole time.
    ASSERT_TRUE(p.port->ReadByte(&byte));
    idle.wanted = false;
    idle.at.clear();
    p.fake->waits = 0;
    EXPECT_FALSE(p.port->WaitForInput(1000));
    EXPECT_EQ(p.fake->waits, 1u);
    EXPECT_EQ(p.fake->longestWaitMs, 1000u);
    EXPECT_TRUE(idle.at.empty());
}

TEST(CommPortWrite, ALongWriteGoesIn40MsPiecesOfLineTimeWithTheFrontEndBetween) {
    std::vector<uint8_t> block(4107);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
    struct Case {
        uint32_t rate;
        bool wanted;
        uint32_t piece;  // bytes the line carries in 40 ms at 10 bits a byte
    } cases[] = {{115200, true, 460}, {57600, true, 230}, {115200, false, 4107}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        ScopedManualClock clock;
        PortWithFake p;
        RecordingIdle idle;
        idle.wanted = c.wanted;
        p.port->SetIdle(&idle);
        ASSERT_EQ(p.port->SetBaudRate(c.rate), 0);
        ASSERT_EQ(p.port->Open(), 0);
        // A flush lasts until the line has carried what was written.
        p.fake->onFlush = [&] { clock->Advance(40); };
        const uint32_t start = clock->NowMs();
        ASSERT_TRUE(p.port->Write(block.data(), static_cast<uint32_t>(block.size())));
        EXPECT_EQ(p.fake->wire, block);
        const size_t pieces = (block.size() + c.piece - 1) / c.piece;
        ASSERT_EQ(p.fake->writeSizes.size(), pieces);
        EXPECT_EQ(p.fake->writeSizes.front(), c.piece);
        // Each piece on the line before the next goes (the last is the caller's to flush),
        // and the front end in between.
        EXPECT_EQ(p.fake->flushes, pieces - 1);
        if (c.wanted) {
            EXPECT_LE(idle.LongestGap(start, clock->NowMs()), TCommPort::kIdleEveryMs);
        }
        EXPECT_EQ(idle.at.size(), c.wanted ? pieces : 0);
    }

    // A piece that fails fails the write, and nothing after it goes.
    ScopedManualClock clock;
    PortWithFake p;
    RecordingIdle idle;
    p.port->SetIdle(&idle);
    ASSERT_EQ(p.port->SetBaudRate(115200), 0);
    ASSERT_EQ(p.port->Open(), 0);
    p.fake->failWriteAt = 2;
    EXPECT_FALSE(p.port->Write(block.data(), static_cast<uint32_t>(block.size())));
    EXPECT_EQ(p.fake->wire.size(), 2 * 460u);
}

}  // namespace
