// Test equipment: an in-memory serial device and a clock that only moves when the code
// under test sleeps (or a test advances it), so every link time-out runs instantly.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/SerialEdge.h"

class ManualClock final : public Clock {
public:
    explicit ManualClock(uint32_t start = 1000) : now_(start) {}
    uint32_t NowMs() override { return now_; }
    void SleepMs(uint32_t ms) override {
        now_ += ms;
        slept_ += ms;
    }
    void Advance(uint32_t ms) { now_ += ms; }
    uint64_t Slept() const { return slept_; }

private:
    uint32_t now_;
    uint64_t slept_ = 0;
};

// Installs a manual clock as the link's clock for the life of the object.
class ScopedManualClock {
public:
    explicit ScopedManualClock(uint32_t start = 1000) : clock_(start) { SetLinkClock(&clock_); }
    ~ScopedManualClock() { SetLinkClock(nullptr); }
    ManualClock* operator->() { return &clock_; }
    ManualClock& operator*() { return clock_; }

private:
    ManualClock clock_;
};

class FakeSerialEdge final : public SerialEdge {
public:
    enum Op { kOpen, kGetState, kSetState, kSetTimeouts, kClose, kWrite, kFlush };

    // Survives the edge, which the port owns and destroys.
    struct Record {
        std::vector<Op> calls;
        std::string openedName;
        LineSettings applied;
        CommTimeouts timeouts;
    };

    FakeSerialEdge() : record_(std::make_shared<Record>()) {}

    std::shared_ptr<Record> GetRecord() const { return record_; }

    // Configuration.
    std::set<Op> failing;
    int failWriteAt = -1;  // index among Write calls that fails (once)
    LineSettings driverState{19200, 7, 2, 2};
    bool dropped = false;  // the far end has hung up
    // Called after every flush, i.e. after every packet the code under test sent.
    std::function<void()> onFlush;

    // Bytes become readable at `atMs` on the link clock (default: now).
    void Feed(const std::vector<uint8_t>& bytes, int64_t delayMs = 0) {
        const uint32_t due = LinkClock().NowMs() + static_cast<uint32_t>(delayMs);
        for (uint8_t b : bytes) input_.push_back({due, b});
    }
    size_t Pending() const { return input_.size(); }

    // Everything written, and each Write call's size.
    std::vector<uint8_t> wire;
    std::vector<uint32_t> writeSizes;
    size_t flushes = 0;

    bool Open(const char* name) override {
        record_->openedName = name;
        return Call(kOpen);
    }
    bool GetState(LineSettings& s) override {
        // A failed read may leave anything behind.
        s = failing.count(kGetState) ? LineSettings{1, 1, 1, 1} : driverState;
        return Call(kGetState);
    }
    bool SetState(const LineSettings& s) override {
        if (!Call(kSetState)) return false;
        record_->applied = s;
        return true;
    }
    bool SetTimeouts(const CommTimeouts& t) override {
        if (!Call(kSetTimeouts)) return false;
        record_->timeouts = t;
        return true;
    }
    bool Close() override { return Call(kClose); }
    bool Write(const uint8_t* data, uint32_t count) override {
        const int index = writeCalls_++;
        if (index == failWriteAt || failing.count(kWrite)) return false;
        wire.insert(wire.end(), data, data + count);
        writeSizes.push_back(count);
        return true;
    }
    bool ReadByte(uint8_t& byte) override {
        if (BytesWaiting() == 0) return false;
        byte = input_.front().byte;
        input_.pop_front();
        return true;
    }
    uint32_t BytesWaiting() override {
        const uint32_t now = LinkClock().NowMs();
        uint32_t n = 0;
        for (const Timed& t : input_) {
            if (static_cast<int32_t>(now - t.due) < 0) break;
            ++n;
        }
        return n;
    }
    // Waits on the link's clock, to the first byte's arrival when it comes in time.
    bool WaitForInput(uint32_t timeoutMs) override {
        ++waits;
        longestWaitMs = std::max(longestWaitMs, timeoutMs);
        if (dropped || BytesWaiting() > 0) return true;
        Clock& clock = LinkClock();
        if (!input_.empty()) {
            const uint32_t until = input_.front().due - clock.NowMs();
            if (until <= timeoutMs) {
                clock.SleepMs(until);
                return true;
            }
        }
        clock.SleepMs(timeoutMs);
        return false;
    }
    size_t waits = 0;
    uint32_t longestWaitMs = 0;

    bool LineDropped() override { return dropped; }
    bool Flush() override {
        if (failing.count(kFlush)) return false;
        ++flushes;
        if (onFlush) onFlush();
        return true;
    }

private:
    bool Call(Op op) {
        record_->calls.push_back(op);
        return !failing.count(op);
    }
    struct Timed {
        uint32_t due;
        uint8_t byte;
    };
    std::deque<Timed> input_;
    int writeCalls_ = 0;
    std::shared_ptr<Record> record_;
};
