// The desktop's end of palmsim's pseudo-terminal, set up as a serial port would be, for tests
// that talk to palmsim as a program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/tests/DesktopSide.h"

class DesktopPort {
public:
    // Opens `path` raw at 57600 bit/s.
    explicit DesktopPort(const std::string& path);
    ~DesktopPort();
    DesktopPort(const DesktopPort&) = delete;
    DesktopPort& operator=(const DesktopPort&) = delete;

    // A speed in bit/s: 57600 or 115200.
    void SetSpeed(uint32_t bps);
    void Send(uint8_t type, uint8_t id, const std::vector<uint8_t>& body);
    // Reads until `count` replies have come or `timeoutMs` has passed.
    std::vector<desk::Reply> Await(size_t count, int timeoutMs);

private:
    int fd_;
    std::vector<uint8_t> bytes_;
};
