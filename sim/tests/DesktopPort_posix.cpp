#include "sim/tests/DesktopPort.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

using Clock = std::chrono::steady_clock;

DesktopPort::DesktopPort(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    EXPECT_GE(fd_, 0) << path;
    SetSpeed(57600);
}

DesktopPort::~DesktopPort() {
    if (fd_ >= 0) close(fd_);
}

void DesktopPort::SetSpeed(uint32_t bps) {
    const speed_t speed = bps == 115200 ? B115200 : B57600;
    EXPECT_TRUE(bps == 115200 || bps == 57600) << bps;
    termios settings{};
    tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    EXPECT_EQ(tcsetattr(fd_, TCSANOW, &settings), 0);
}

void DesktopPort::Send(uint8_t type, uint8_t id, const std::vector<uint8_t>& body) {
    const auto request = desk::Request(type, id, body);
    EXPECT_EQ(write(fd_, request.data(), request.size()), static_cast<ssize_t>(request.size()));
}

std::vector<desk::Reply> DesktopPort::Await(size_t count, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<desk::Reply> replies;
    while (replies.size() < count && Clock::now() < end) {
        pollfd fd{fd_, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
        uint8_t buffer[8192];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) bytes_.insert(bytes_.end(), buffer, buffer + n);
        replies = desk::Replies(bytes_);
    }
    bytes_.clear();
    return replies;
}
