// Simulated time for running the link against the simulated handheld: nothing passes unless
// someone sleeps, so a whole flash update runs in milliseconds and every time-out is exact.
#pragma once

#include <cstdint>

#include "link/Clock.h"

class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint64_t startNs = 0) : nowNs_(startNs) {}

    // The 32-bit tick wraps as a real one does; start near 2^32 ms to try the wrap.
    uint32_t NowMs() override {
        nowNs_ += autoAdvanceNs_;
        return static_cast<uint32_t>(nowNs_ / kNsPerMs);
    }
    void SleepMs(uint32_t ms) override { nowNs_ += uint64_t{ms} * kNsPerMs; }

    uint64_t NowNs() const { return nowNs_; }
    void AdvanceNs(uint64_t ns) { nowNs_ += ns; }
    void AdvanceToNs(uint64_t ns) {
        if (ns > nowNs_) nowNs_ = ns;
    }
    // For code that polls the tick without ever sleeping: each NowMs moves time on by this
    // much, so such a loop still ends. 0 (the default) keeps time still until a sleep.
    void SetAutoAdvanceNs(uint64_t ns) { autoAdvanceNs_ = ns; }

private:
    static constexpr uint64_t kNsPerMs = 1'000'000;
    uint64_t nowNs_;
    uint64_t autoAdvanceNs_ = 0;
};
