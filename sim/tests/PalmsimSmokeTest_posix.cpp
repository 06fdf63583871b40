// palmsim as a program: a desktop talks to it through the pseudo-terminal it prints, the
// line speed set on the desktop's end matters, pacing holds to the line speed, and the
// handheld's state is written when asked and at the end.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/tests/DesktopSide.h"
#include "testing/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using desk::Be16;
using desk::Be32;
using desk::Cat;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kBase = 0x10C00000;

// palmsim as built beside this test, started on its own pseudo-terminal.
class Palmsim : public PalmsimProcess {
public:
    explicit Palmsim(const std::vector<std::string>& args) : PalmsimProcess(PALMSIM_PATH, args) {}
    int Stop(int signal) { return PalmsimProcess::Stop(signal, 10'000); }
};

// The desktop's end of the pty, set up as a serial port would be.
class Port {
public:
    explicit Port(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        EXPECT_GE(fd_, 0) << path;
        SetSpeed(B57600);
    }
    ~Port() {
        if (fd_ >= 0) close(fd_);
    }
    void SetSpeed(speed_t speed) {
        termios settings{};
        tcgetattr(fd_, &settings);
        cfmakeraw(&settings);
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
        EXPECT_EQ(tcsetattr(fd_, TCSANOW, &settings), 0);
    }
    void Send(uint8_t type, uint8_t id, const std::vector<uint8_t>& body) {
        const auto request = desk::Request(type, id, body);
        EXPECT_EQ(write(fd_, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    }
    // Reads until `count` replies have come or `timeoutMs` has passed.
    std::vector<desk::Reply> Await(size_t count, int timeoutMs) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::vector<desk::Reply> replies;
        while (replies.size() < count && Clock::now() < end) {
            pollfd fd{fd_, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
            uint8_t buffer[8192];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n > 0) bytes_.insert(bytes_.end(), buffer, buffer + n);
            replies = desk::Replies(bytes_);
        }
        bytes_.clear();
        return replies;
    }

private:
    int fd_;
    std::vector<uint8_t> bytes_;
};

fs::path TempDir(const char* name) {
    const fs::path dir = fs::temp_directory_path() /
                         (std::string("palmsim-smoke-") + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(Palmsim, AnswersThroughThePtyAndWritesItsStateOnSignals) {
    const fs::path dir = TempDir("state");
    const fs::path link = dir / "com2";
    Palmsim palmsim(
        {"--no-pacing", "--loader-running", "--state", dir.string(), "--link", link.string()});
    ASSERT_FALSE(palmsim.Device().empty());
    EXPECT_EQ(fs::read_symlink(link), palmsim.Device());
    {
        Port port(link.string());
        port.Send(0, 1, {});
        const auto version = port.Await(1, 5000);
        ASSERT_EQ(version.size(), 1u);
        EXPECT_EQ(version[0].type, 0x80);
        EXPECT_EQ(version[0].id, 1);
        EXPECT_EQ(version[0].body, Cat({Be16(32), Be16(0)}));

        port.Send(4, 2, Cat({Be32(kBase + 0x2000), Be32(kBase + 0x2004), Be16(3), {1, 2, 3}, {0}}));
        ASSERT_EQ(port.Await(1, 5000).size(), 1u);
    }
    palmsim.Signal(SIGUSR1);
    std::vector<uint8_t> flash;
    for (int i = 0; i < 500 && flash.size() != 0x400000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        flash = FileBytes(dir / "flash.bin");
    }
    ASSERT_EQ(flash.size(), 0x400000u);
    EXPECT_EQ(flash[0x2004], 1);
    EXPECT_EQ(flash[0x2006], 3);

    {
        // The port was closed and opened again in between: the line is still there.
        Port port(palmsim.Device());
        port.Send(7, 3, {});
        ASSERT_EQ(port.Await(1, 5000).size(), 1u);
    }
    EXPECT_EQ(palmsim.Stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    const std::vector<uint8_t> config = FileBytes(dir / "handheld.conf");
    EXPECT_NE(std::string(config.begin(), config.end()).find("mode=os"), std::string::npos);
    fs::remove_all(dir);
}

TEST(Palmsim, PacesAtTheLineSpeedInForceWithoutSpinning) {
    Palmsim palmsim({"--loader-running"});
    ASSERT_FALSE(palmsim.Device().empty());
    Port port(palmsim.Device());
    port.Send(8, 1, Be32(115200));
    ASSERT_EQ(port.Await(1, 5000).size(), 1u);
    // The handheld has switched; a desktop left at the old speed hears nothing sensible.
    port.Send(0, 2, {});
    EXPECT_TRUE(port.Await(1, 400).empty());
    port.SetSpeed(B115200);

    constexpr int kReads = 6;
    constexpr double kBytesEach = 21 + 4108;  // request and reply of a 4096-byte read
    const auto start = Clock::now();
    for (int i = 0; i < kReads; ++i) {
        port.Send(5, static_cast<uint8_t>(10 + i), Cat({Be32(kBase + 4096u * i), Be16(4096)}));
        const auto replies = port.Await(1, 5000);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].body.size(), 4096u);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double expected = kReads * kBytesEach * 10 / 115200;
    EXPECT_GT(elapsed, expected * 0.98);
    EXPECT_LT(elapsed, expected * 1.10);

    double cpu = 0;
    ASSERT_EQ(palmsim.PalmsimProcess::Stop(SIGINT, 10'000, &cpu), 0);
    EXPECT_LT(cpu, elapsed * 0.3) << "palmsim should sleep between bursts";
}

}  // namespace
