#include "link/CommPort.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "link/Clock.h"

namespace {

constexpr uint32_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
// However slow the line, a piece of a long write is worth its system calls.
constexpr uint32_t kSmallestPiece = 16;

}  // namespace

TCommPort::TCommPort(std::unique_ptr<SerialEdge> edge) : handle_(std::move(edge)) {}

TCommPort::~TCommPort() {
    // Nobody is left to tell of a port that would not close.
    if (open_) (void)Close();
}

TResult TCommPort::SetPortName(const char* name) {
    if (open_) return rc::PortOpenWhileNaming;
    // A name that does not fit would be cut to another, possibly existing, device; refuse it
    // and keep the name we had.
    if (!name || std::strlen(name) >= sizeof portName_) return rc::InvalidCommPort;
    std::strcpy(portName_, name);
    return rc::Success;
}

TResult TCommPort::SetBaudRate(uint32_t rate) {
    const uint32_t previous = lineSettings_.baudRate;
    lineSettings_.baudRate = rate;
    if (open_ && !handle_->SetState(lineSettings_)) {
        lineSettings_.baudRate = previous;
        return rc::InvalidBaudRate;
    }
    return rc::Success;
}

TResult TCommPort::Open() {
    if (open_) return rc::Success;
    // The driver's state is read into a scratch record: only our four settings go back, and a
    // failed read must not cost us the rate the caller asked for.
    const LineSettings wanted = lineSettings_;
    if (!handle_ || !handle_->Open(portName_)) return rc::PortInUse;

    LineSettings driver;
    if (!handle_->GetState(driver)) {
        handle_->Close();
        return rc::GetStateError;
    }
    lineSettings_ = wanted;
    if (!handle_->SetState(lineSettings_)) {
        handle_->Close();
        return rc::SetDcbError;
    }
    timeouts_ = CommTimeouts{};
    if (!handle_->SetTimeouts(timeouts_)) {
        handle_->Close();
        return rc::SetTimeoutsError;
    }
    open_ = 1;
    return rc::Success;
}

TResult TCommPort::Close() {
    if (!open_) return rc::Success;
    if (!handle_->Close()) return rc::CloseError;
    open_ = 0;
    return rc::Success;
}

bool TCommPort::Write(const void* buffer, uint32_t count) {
    if (count == 0 || !buffer) return true;
    if (!open_) return false;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (!IdleWanted()) return handle_->Write(bytes, count);
    return WriteInPieces(bytes, count);
}

TResult TCommPort::Flush() {
    if (!open_) return rc::FlushClosedPort;
    if (!handle_->Flush()) return rc::FlushError;
    return rc::Success;
}

bool TCommPort::ReadByte(uint8_t* buffer) { return open_ && buffer && handle_->ReadByte(*buffer); }

bool TCommPort::LineDropped() { return open_ && handle_->LineDropped(); }

uint32_t TCommPort::BytesAvailable() {
    if (!open_) return 0;
    return handle_->BytesWaiting();
}

// A block for the flash takes a third of a second on the line at 115200 bit/s, and a write
// or a flush blocks until the line has taken it. Each piece is on the line before the next
// goes, and none is longer than the line carries until the idle is due again; the last is
// left to the caller's flush.
bool TCommPort::WriteInPieces(const uint8_t* bytes, uint32_t count) {
    for (;;) {
        IdleIfDue();
        // The idle may have ended the session under us.
        if (!open_) return false;
        const uint64_t lineBytes =
            uint64_t{lineSettings_.baudRate} * Slice(kIdleEveryMs) / kBitsPerByte / 1000;
        const auto piece = static_cast<uint32_t>(std::max<uint64_t>(lineBytes, kSmallestPiece));
        if (count <= piece) return handle_->Write(bytes, count);
        if (!handle_->Write(bytes, piece) || !handle_->Flush()) return false;
        bytes += piece;
        count -= piece;
    }
}

bool TCommPort::WaitForInput(uint32_t timeoutMs) {
    if (!open_) return false;
    Clock& clock = LinkClock();
    const uint32_t start = clock.NowMs();
    for (;;) {
        IdleIfDue();
        if (!open_) return false;
        const uint32_t elapsed = ElapsedMs(start, clock.NowMs());
        const uint32_t left = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
        const uint32_t slice = Slice(left);
        if (handle_->WaitForInput(slice)) return true;
        if (slice >= left) return false;
    }
}

void TCommPort::Pause(uint32_t ms) {
    Clock& clock = LinkClock();
    const uint32_t start = clock.NowMs();
    for (;;) {
        IdleIfDue();
        const uint32_t elapsed = ElapsedMs(start, clock.NowMs());
        if (elapsed >= ms) return;
        clock.SleepMs(Slice(ms - elapsed));
    }
}

uint32_t TCommPort::Slice(uint32_t left) {
    if (!IdleWanted()) return left;
    const uint32_t since = ElapsedMs(idledAtMs_, LinkClock().NowMs());
    const uint32_t untilDue = since < kIdleEveryMs ? kIdleEveryMs - since : 0;
    // Never 0 while time is left: IdleIfDue has just run if it was due.
    return std::min(left, std::max<uint32_t>(untilDue, 1));
}

void TCommPort::IdleIfDue() {
    if (!IdleWanted() || ElapsedMs(idledAtMs_, LinkClock().NowMs()) < kIdleEveryMs) return;
    idle_->Idle();
    idledAtMs_ = LinkClock().NowMs();
}
