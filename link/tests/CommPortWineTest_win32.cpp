// The Win32 serial device against a peer on the far end of a pseudo-terminal that Wine maps
// to a COM port (tests/e2e/wine_comport.sh sets it up). Skips when run on its own.
#include <gtest/gtest.h>

#include <cstdlib>

#include "link/Clock.h"
#include "link/CommPort.h"
#include "link/SLK.h"

namespace {

const char* ComName() { return std::getenv("KESTREL_WINE_COM"); }

TEST(CommPortWine, CarriesAPacketEachWayAt57600) {
    if (!ComName()) GTEST_SKIP() << "KESTREL_WINE_COM not set";
    TCommPort port;
    ASSERT_EQ(port.SetPortName(ComName()), 0);
    ASSERT_EQ(port.SetBaudRate(57600), 0);
    ASSERT_EQ(port.Open(), 0);

    TSLK slk(&port);
    const uint8_t body[] = {0x10, 0xBE, 0x20};
    ASSERT_EQ(slk.SLKSendPacket(0x21, 0x0E, sizeof body, body), 0);

    // The peer answers with its verdict on what it saw, then echoes the body.
    uint8_t reply[16] = {}, id = 0, type = 0;
    uint16_t size = 0;
    TResult status = rc::NoPacket;
    Clock& clock = LinkClock();
    const uint32_t start = clock.NowMs();
    while ((status = slk.SLKReceivePacket(sizeof reply, reply, &id, &type, &size)) != 0 &&
           ElapsedMs(start, clock.NowMs()) < 10000)
        clock.SleepMs(1);
    ASSERT_EQ(status, 0) << "no packet from the peer";
    EXPECT_EQ(id, 0x21);
    EXPECT_EQ(type, 0x8E);
    ASSERT_EQ(size, 7);
    EXPECT_EQ(reply[0], 1) << "peer: lead-in, header checksum or CRC wrong";
    EXPECT_EQ(reply[1], 1) << "peer: line not at 57600 bit/s";
    EXPECT_EQ(reply[2], 1) << "peer: line not 8N1";
    EXPECT_EQ(reply[3], 1) << "peer: body not as sent";
    EXPECT_EQ(reply[4], 0x10);
    EXPECT_EQ(reply[5], 0xBE);
    EXPECT_EQ(reply[6], 0x20);

    EXPECT_EQ(port.Flush(), 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.IsOpen());
}

// Wine lets a no-access open through even while another handle holds the port, so the
// "held" answer cannot be shown here.
TEST(CommPortWine, ProbeTellsPresentAndMissingPorts) {
    if (!ComName()) GTEST_SKIP() << "KESTREL_WINE_COM not set";
    const auto probe = MakePortProbe();
    EXPECT_EQ(probe->Probe(std::atoi(ComName() + 3)), 0);
    const char* missing = std::getenv("KESTREL_WINE_NOPORT");
    EXPECT_EQ(probe->Probe(missing ? std::atoi(missing) : 199), 2);
}

TEST(CommPortWine, OpeningAMissingPortIsPortInUse) {
    if (!ComName()) GTEST_SKIP() << "KESTREL_WINE_COM not set";
    TCommPort port;
    ASSERT_EQ(port.SetPortName("COM199"), 0);
    EXPECT_EQ(port.Open(), -607);
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
