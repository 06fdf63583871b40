// Waiting for input on a COM port that Wine maps to a pseudo-terminal, whose far end
// (link/tests/wine_wait.sh) answers one-byte requests: W with 0x5A 300 ms later, S with "abc"
// a byte every 200 ms, H by hanging up. Skips when run on its own. The tests run in the
// order written; the last hangs the line up.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "link/CommPort.h"

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

const char* ComName() { return std::getenv("KESTREL_WINE_COM"); }

struct CountingIdle final : LineIdle {
    bool IdleWanted() const override { return true; }
    void Idle() override { ++calls; }
    int calls = 0;
};

class WaitOnCom : public testing::Test {
protected:
    void SetUp() override {
        if (!ComName()) GTEST_SKIP() << "KESTREL_WINE_COM not set";
        ASSERT_EQ(port.SetPortName(ComName()), 0);
        ASSERT_EQ(port.SetBaudRate(57600), 0);
        ASSERT_EQ(port.Open(), 0);
    }
    void Ask(char request) {
        ASSERT_TRUE(port.Write(&request, 1));
        ASSERT_EQ(port.Flush(), 0);
    }
    // How long a wait of `ms` took, in milliseconds.
    long long Waited(uint32_t ms, bool expected) {
        const auto start = steady_clock::now();
        EXPECT_EQ(port.WaitForInput(ms), expected) << ms;
        return duration_cast<milliseconds>(steady_clock::now() - start).count();
    }

    TCommPort port;
};

TEST_F(WaitOnCom, LastsItsTimeOnAQuietLineAndWakesWhenThePeerWrites) {
    CountingIdle idle;
    port.SetIdle(&idle);
    const long long quiet = Waited(400, false);
    EXPECT_GE(quiet, 380);
    EXPECT_LT(quiet, 2000);
    EXPECT_GE(idle.calls, 400 / static_cast<int>(TCommPort::kIdleEveryMs) - 2)
        << "the front end had the thread while we waited";
    port.SetIdle(nullptr);

    Ask('W');
    const long long woken = Waited(10000, true);
    EXPECT_GE(woken, 200);
    EXPECT_LT(woken, 5000);
    EXPECT_EQ(port.BytesAvailable(), 1u);
    uint8_t byte = 0;
    ASSERT_TRUE(port.ReadByte(&byte));
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(port.BytesAvailable(), 0u);
}

TEST_F(WaitOnCom, BytesComeInOrderAndReadsKeepThePortsOwnTimeouts) {
    Ask('S');
    std::string got;
    const auto start = steady_clock::now();
    while (got.size() < 3 && steady_clock::now() - start < milliseconds(5000)) {
        if (!port.WaitForInput(1000)) continue;
        uint8_t byte = 0;
        while (port.BytesAvailable() > 0 && port.ReadByte(&byte)) got += static_cast<char>(byte);
    }
    EXPECT_EQ(got, "abc");

    // With nothing waiting a read takes the port's read time-out (1 ms a byte and 250 ms),
    // not the last wait's 1000 ms nor none.
    const auto before = steady_clock::now();
    uint8_t byte = 0;
    EXPECT_FALSE(port.ReadByte(&byte));
    const long long read = duration_cast<milliseconds>(steady_clock::now() - before).count();
    EXPECT_GE(read, 200);
    EXPECT_LT(read, 700);
}

TEST_F(WaitOnCom, AHangUpEndsTheWaitAndShowsAsADroppedLine) {
    Ask('H');
    EXPECT_LT(Waited(10000, true), 5000);
    EXPECT_TRUE(port.LineDropped());
}

}  // namespace
