#include "link/CommPort.h"

#include <gtest/gtest.h>

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

}  // namespace
