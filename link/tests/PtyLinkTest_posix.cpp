// The POSIX serial device on a real pseudo-terminal: what kestrel-flash runs on.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/Clock.h"
#include "link/CommPort.h"
#include "link/SLK.h"
#include "testing/Wire.h"

TEST(PtyLink, ConfiguresTheLineAndCarriesPacketsBothWays) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_TRUE(grantpt(master) == 0 && unlockpt(master) == 0);
    TCommPort port;
    ASSERT_EQ(port.SetPortName(ptsname(master)), 0);
    ASSERT_EQ(port.SetBaudRate(57600), 0);
    ASSERT_EQ(port.Open(), 0);

    termios t{};
    ASSERT_EQ(tcgetattr(master, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);  // raw: nothing echoed or line-edited

    TSLK slk(&port);
    const std::vector<uint8_t> body = {1, 0xBE, 3};
    ASSERT_EQ(slk.SLKSendPacket(9, 0x0E, 3, body.data()), 0);  // flushed: all on the line
    // The pty hands bytes to its master side asynchronously; collect the whole packet.
    std::vector<uint8_t> wire;
    for (int waited = 0; wire.size() < 18 && waited < 2000; ++waited) {
        pollfd p{master, POLLIN, 0};
        uint8_t chunk[64];
        if (poll(&p, 1, 1) == 1) {
            const ssize_t n = read(master, chunk, sizeof chunk);
            if (n > 0) wire.insert(wire.end(), chunk, chunk + n);
        }
    }
    const auto sent = wire::SentPackets(wire);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].intact);
    EXPECT_EQ(sent[0].body, body);

    const auto reply = wire::Packet(9, 0x8E, {77, 0});
    ASSERT_EQ(write(master, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    uint8_t rx[2] = {}, id = 0, type = 0;
    uint16_t size = 0;
    TResult status;
    const uint32_t start = LinkClock().NowMs();
    while ((status = slk.SLKReceivePacket(2, rx, &id, &type, &size)) != 0 &&
           ElapsedMs(start, LinkClock().NowMs()) < 2000)
        LinkClock().SleepMs(1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(rx[0], 77);

    // A rate the line cannot run is refused and the one in force kept.
    EXPECT_EQ(port.SetBaudRate(12345), -603);
    EXPECT_EQ(port.BaudRate(), 57600u);
    EXPECT_EQ(port.Close(), 0);
    close(master);
    EXPECT_EQ(MakePortProbe()->Probe(4000), 2);
}

TEST(PtyLink, OnlyASerialLineIsTakenForAPort) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_TRUE(grantpt(master) == 0 && unlockpt(master) == 0);
    // Short, for the port keeps 31 characters of a name.
    const std::filesystem::path dir = "/tmp/pk" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "folder");
    std::ofstream(dir / "file") << "not a line";
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/ptmx", dir / "to-ptmx");
    std::filesystem::create_symlink(dir / "gone", dir / "to-nothing");
    const struct {
        std::string name;
        PortKind kind;
    } rows[] = {
        {ptsname(master), PortKind::SerialLine},
        {"/dev/ptmx", PortKind::PtyMultiplexer},
        {(dir / "to-ptmx").string(), PortKind::PtyMultiplexer},
        {"/dev/tty", PortKind::TerminalAlias},
        {"/dev/null", PortKind::NotATerminal},
        {(dir / "file").string(), PortKind::NotADevice},
        {(dir / "folder").string(), PortKind::NotADevice},
        {(dir / "fifo").string(), PortKind::NotADevice},
        {(dir / "to-nothing").string(), PortKind::Missing},
        {"/dev/no-such-line", PortKind::Missing},
    };
    const auto probe = MakePortProbe();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.kind != PortKind::Missing && !std::filesystem::exists(row.name))
            continue;  // a container without /dev/tty
        EXPECT_EQ(probe->Kind(row.name.c_str()), row.kind);
        // The port refuses whatever the probe does not take for a line.
        TCommPort port;
        ASSERT_EQ(port.SetPortName(row.name.c_str()), 0);
        EXPECT_EQ(port.Open() == 0, row.kind == PortKind::SerialLine);
        (void)port.Close();
    }
    std::filesystem::remove_all(dir);
    close(master);
}

TEST(PtyLink, AWaitEndsWhenTheFarEndWritesOrHangsUpAndLastsItsTimeOtherwise) {
    using namespace std::chrono;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_TRUE(grantpt(master) == 0 && unlockpt(master) == 0);
    TCommPort port;
    ASSERT_EQ(port.SetPortName(ptsname(master)), 0);
    ASSERT_EQ(port.Open(), 0);
    auto waitFor = [&](uint32_t ms, bool expected) {
        const auto start = steady_clock::now();
        EXPECT_EQ(port.WaitForInput(ms), expected);
        return duration_cast<milliseconds>(steady_clock::now() - start).count();
    };

    const auto quiet = waitFor(150, false);
    EXPECT_GE(quiet, 149);
    EXPECT_LT(quiet, 1500);

    std::thread peer([master] {
        std::this_thread::sleep_for(milliseconds(100));
        ASSERT_EQ(write(master, "\x5A", 1), 1);
    });
    const auto woken = waitFor(10000, true);
    peer.join();
    EXPECT_GE(woken, 90);
    EXPECT_LT(woken, 5000);
    uint8_t byte = 0;
    ASSERT_TRUE(port.ReadByte(&byte));
    EXPECT_EQ(byte, 0x5A);

    std::thread hangUp([master] {
        std::this_thread::sleep_for(milliseconds(100));
        close(master);
    });
    const auto dropped = waitFor(10000, true);
    hangUp.join();
    EXPECT_LT(dropped, 5000);
    EXPECT_TRUE(port.LineDropped());
    EXPECT_EQ(port.Close(), 0);
}
