// A POSIX terminal's line speeds: the speed constants termios takes and the bit/s each stands
// for, in one table for every program that sets or reads a terminal's speed (the serial port,
// palmsim's pseudo-terminal, the benchmark's wire tap), so that they agree on every rate.
#pragma once

#include <termios.h>

#include <cstdint>

struct TermiosSpeed {
    uint32_t bitsPerSecond;
    speed_t code;
};

inline constexpr TermiosSpeed kTermiosSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// The constant for `bitsPerSecond`; false for a rate termios has no constant for here.
inline bool TermiosSpeedCode(uint32_t bitsPerSecond, speed_t& code) {
    for (const TermiosSpeed& speed : kTermiosSpeeds)
        if (speed.bitsPerSecond == bitsPerSecond) {
            code = speed.code;
            return true;
        }
    return false;
}

// The bit/s of `code`; 0 for a constant the table does not hold.
inline uint32_t TermiosBitsPerSecond(speed_t code) {
    for (const TermiosSpeed& speed : kTermiosSpeeds)
        if (speed.code == code) return speed.bitsPerSecond;
    return 0;
}
