#include "link/Clock.h"

#include <chrono>
#include <thread>

namespace {

class SystemClock final : public Clock {
public:
    uint32_t NowMs() override {
        auto since = std::chrono::steady_clock::now().time_since_epoch();
        // Truncation is the point: the link reasons on a wrapping 32-bit tick.
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void SleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

SystemClock g_systemClock;
Clock* g_linkClock = nullptr;

}  // namespace

Clock& LinkClock() { return g_linkClock ? *g_linkClock : g_systemClock; }

void SetLinkClock(Clock* clock) { g_linkClock = clock; }
