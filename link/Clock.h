// The link's sense of time: a millisecond tick and a way to wait. Everything that times out
// or paces itself asks this clock, so tests can run the whole link in simulated time.
#pragma once

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps like a 32-bit tick counter.
    virtual uint32_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The clock the link uses: the system's, unless a test put another in place.
Clock& LinkClock();
// Puts `clock` in place (nullptr restores the system clock). Not owned.
void SetLinkClock(Clock* clock);

// Milliseconds elapsed from `start` to `now` on a wrapping 32-bit tick.
inline uint32_t ElapsedMs(uint32_t start, uint32_t now) { return now - start; }
