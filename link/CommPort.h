// The COM port that connects the desktop to the handheld's cradle. Synchronous, on the
// caller's thread; every failure is a result code.
#pragma once

#include <cstdint>
#include <memory>

#include "base/ResultCodes.h"
#include "link/SerialEdge.h"

// Whom the port hands its caller's thread to while it waits on the line: a front end with
// windows pumps them here, so that they stay alive through a long transaction.
class LineIdle {
public:
    virtual ~LineIdle() = default;
    // Whether anyone is there; without, the port waits and writes in one piece.
    virtual bool IdleWanted() const = 0;
    virtual void Idle() = 0;
};

class TCommPort {
public:
    // The longest the port keeps the thread from its LineIdle while it waits or writes.
    static constexpr uint32_t kIdleEveryMs = 40;

    // The platform's device unless a test hands in another.
    explicit TCommPort(std::unique_ptr<SerialEdge> edge = MakeSerialEdge());
    ~TCommPort();
    TCommPort(const TCommPort&) = delete;
    TCommPort& operator=(const TCommPort&) = delete;

    [[nodiscard]] TResult SetPortName(const char* name);
    [[nodiscard]] TResult SetBaudRate(uint32_t rate);
    [[nodiscard]] TResult Open();
    [[nodiscard]] TResult Close();
    // With a LineIdle that wants the thread, a write longer than kIdleEveryMs of line time
    // goes out in pieces of at most that length, each on the line before the next, with the
    // idle called in between as it falls due.
    bool Write(const void* buffer, uint32_t count);
    [[nodiscard]] TResult Flush();
    bool ReadByte(uint8_t* buffer);
    uint32_t BytesAvailable();
    // Whether the open port's far end has hung up; false for a closed port.
    bool LineDropped();
    // Blocks until a byte is waiting (true), the line has dropped (true) or `timeoutMs` have
    // passed (false), calling the LineIdle at least every kIdleEveryMs meanwhile. A closed
    // port has nothing to wait for: false at once.
    bool WaitForInput(uint32_t timeoutMs);
    // Lets `ms` pass whatever arrives, with the LineIdle called as in a wait.
    void Pause(uint32_t ms);
    // Not owned; nullptr for none.
    void SetIdle(LineIdle* idle) { idle_ = idle; }

    bool IsOpen() const { return open_ != 0; }
    const char* PortName() const { return portName_; }
    uint32_t BaudRate() const { return lineSettings_.baudRate; }

private:
    bool IdleWanted() const { return idle_ && idle_->IdleWanted(); }
    // Calls the idle when kIdleEveryMs have passed since it last ran.
    void IdleIfDue();
    // How long the next piece of a wait of `left` ms may block.
    uint32_t Slice(uint32_t left);
    bool WriteInPieces(const uint8_t* bytes, uint32_t count);

    uint8_t open_ = 0;
    CommTimeouts timeouts_;
    char portName_[32] = "COM2";
    LineSettings lineSettings_;
    std::unique_ptr<SerialEdge> handle_;
    LineIdle* idle_ = nullptr;
    uint32_t idledAtMs_ = 0;
};
