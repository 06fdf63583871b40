// The serial cable between the desktop and the simulated handheld. A byte takes 10 bit-times
// at the speed its sender uses, bytes of one direction follow one another, and a byte sent at
// a speed the other end is not listening at arrives as garbage, as on a real cable. Time is
// whatever the caller keeps (the system's monotonic clock or a simulated one), in nanoseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

class Handheld;

class SimLine {
public:
    // Without pacing every byte crosses at once; the handheld's reply delays still apply.
    SimLine(Handheld& handheld, bool pacing);

    // Whether a speed mismatch garbles bytes (on by default).
    void SetGarbling(bool garble) { garble_ = garble; }

    // The desktop wrote these bytes at `nowNs` with its port at `desktopSpeed` bps (0 when
    // the speed is not known, taken as matching). The handheld gets them as they arrive.
    void FromDesktop(const uint8_t* data, size_t count, uint64_t nowNs, uint32_t desktopSpeed);
    // Appends to `out` every byte that has reached the desktop by `nowNs`, as a port at
    // `desktopSpeed` receives it; returns how many.
    size_t Deliver(uint64_t nowNs, uint32_t desktopSpeed, std::vector<uint8_t>& out);
    // When the next byte for the desktop arrives; false when none is on its way.
    bool NextArrival(uint64_t& ns) const;
    // When the desktop's last written byte will have left its port.
    uint64_t DesktopIdleAt() const { return desktopWireFreeNs_; }

    Handheld& Device() { return handheld_; }

private:
    struct InFlight {
        uint64_t arrivesNs;
        uint32_t speed;
        uint8_t byte;
    };
    uint64_t ByteTimesNs(uint32_t speed, uint64_t bytes) const;
    void Collect();

    Handheld& handheld_;
    bool pacing_;
    bool garble_ = true;
    std::mt19937_64 noise_;
    uint64_t desktopWireFreeNs_ = 0;
    uint64_t deviceWireFreeNs_ = 0;
    std::deque<InFlight> toDesktop_;
};
