#include "sim/SimSerialEdge.h"

#include "sim/Handheld.h"

namespace {

constexpr uint64_t kNsPerMs = 1'000'000;
constexpr uint32_t kNoIntervalWait = 0xFFFFFFFF;

}  // namespace

SimSerialEdge::SimSerialEdge(Handheld& handheld, VirtualClock& clock, bool pacing)
    : clock_(clock), line_(handheld, pacing) {}

void SimSerialEdge::SetFailing(Call call, bool fail) {
    const unsigned bit = 1u << static_cast<unsigned>(call);
    failing_ = fail ? (failing_ | bit) : (failing_ & ~bit);
}

// Bytes that arrive while the port is closed fall on the floor, as with a real UART.
void SimSerialEdge::Pull() {
    if (!open_) {
        std::vector<uint8_t> lost;
        line_.Deliver(clock_.NowNs(), settings_.baudRate, lost);
        return;
    }
    if (readAt_ == received_.size()) {
        received_.clear();
        readAt_ = 0;
    }
    line_.Deliver(clock_.NowNs(), settings_.baudRate, received_);
}

bool SimSerialEdge::Open(const char* name) {
    if (open_ || Failing(Call::Open) || name == nullptr) return false;
    Pull();
    open_ = true;
    name_ = name;
    received_.clear();
    readAt_ = 0;
    return true;
}

bool SimSerialEdge::GetState(LineSettings& settings) {
    if (!open_ || Failing(Call::GetState)) return false;
    settings = settings_;
    return true;
}

bool SimSerialEdge::SetState(const LineSettings& settings) {
    if (!open_ || Failing(Call::SetState) || settings.baudRate == 0) return false;
    Pull();  // what arrived so far was heard at the old speed
    settings_ = settings;
    return true;
}

bool SimSerialEdge::SetTimeouts(const CommTimeouts& timeouts) {
    if (!open_ || Failing(Call::SetTimeouts)) return false;
    timeouts_ = timeouts;
    return true;
}

bool SimSerialEdge::Close() {
    if (!open_ || Failing(Call::Close)) return false;
    Pull();
    open_ = false;
    received_.clear();
    readAt_ = 0;
    return true;
}

bool SimSerialEdge::Write(const uint8_t* data, uint32_t count) {
    if (!open_ || Failing(Call::Write)) return false;
    Pull();
    line_.FromDesktop(data, count, clock_.NowNs(), settings_.baudRate);
    return true;
}

bool SimSerialEdge::ReadByte(uint8_t& byte) {
    if (!open_ || Failing(Call::ReadByte)) return false;
    Pull();
    if (readAt_ == received_.size()) {
        // Wait as the platform's read does: up to the total time-out for one byte.
        const bool immediate = timeouts_.readInterval == kNoIntervalWait &&
                               timeouts_.readTotalMultiplier == 0 &&
                               timeouts_.readTotalConstant == 0;
        const uint64_t waitNs =
            immediate ? 0
                      : (uint64_t{timeouts_.readTotalMultiplier} + timeouts_.readTotalConstant) *
                            kNsPerMs;
        uint64_t next = 0;
        const bool coming = line_.NextArrival(next);
        // No total time-out means waiting for ever; with nothing on its way that would never
        // end, so the read gives up at once instead.
        if (coming && !immediate && (waitNs == 0 || next <= clock_.NowNs() + waitNs)) {
            clock_.AdvanceToNs(next);
            Pull();
        } else {
            clock_.AdvanceNs(waitNs);
            Pull();
            if (readAt_ == received_.size()) return false;
        }
    }
    byte = received_[readAt_++];
    return true;
}

uint32_t SimSerialEdge::BytesWaiting() {
    if (!open_) return 0;
    Pull();
    return static_cast<uint32_t>(received_.size() - readAt_);
}

bool SimSerialEdge::WaitForInput(uint32_t timeoutMs) {
    if (!open_) return false;
    Pull();
    if (readAt_ < received_.size()) return true;
    const uint64_t limit = clock_.NowNs() + uint64_t{timeoutMs} * kNsPerMs;
    uint64_t next = 0;
    if (line_.NextArrival(next) && next <= limit) {
        clock_.AdvanceToNs(next);
    } else {
        clock_.AdvanceToNs(limit);
    }
    Pull();
    return readAt_ < received_.size();
}

bool SimSerialEdge::Flush() {
    if (!open_ || Failing(Call::Flush)) return false;
    clock_.AdvanceToNs(line_.DesktopIdleAt());
    return true;
}
