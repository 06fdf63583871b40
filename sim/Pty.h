// The pseudo-terminal palmsim serves the handheld on. The desktop opens the other end (the
// slave device) as if it were a serial port; palmsim keeps that end open too, so the line
// stays up while the desktop closes and reopens its port, and reads the line speed the
// desktop set there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Pty {
public:
    // A new pty in raw mode; nullptr with `error` set when the system refuses one.
    static std::unique_ptr<Pty> Create(std::string& error);
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    // Non-blocking; palmsim reads what the desktop wrote and writes the replies here.
    int MasterFd() const { return master_; }
    // The speed in bps the desktop's end is set to; 0 when it cannot be told.
    uint32_t DesktopSpeed() const;
    // A desktop may claim the device exclusively. The claim would outlive its close, since
    // palmsim keeps the device open, and lock the desktop itself out of its next open; so
    // palmsim lifts it now and then.
    void ReleaseExclusive() const;

private:
    Pty() = default;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};
