#include "link/CommPort.h"

#include <cstring>
#include <utility>

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
    return handle_->Write(static_cast<const uint8_t*>(buffer), count);
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
