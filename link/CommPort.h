// The COM port that connects the desktop to the handheld's cradle. Synchronous, on the
// caller's thread; every failure is a result code.
#pragma once

#include <cstdint>
#include <memory>

#include "base/ResultCodes.h"
#include "link/SerialEdge.h"

class TCommPort {
public:
    // The platform's device unless a test hands in another.
    explicit TCommPort(std::unique_ptr<SerialEdge> edge = MakeSerialEdge());
    ~TCommPort();
    TCommPort(const TCommPort&) = delete;
    TCommPort& operator=(const TCommPort&) = delete;

    [[nodiscard]] TResult SetPortName(const char* name);
    [[nodiscard]] TResult SetBaudRate(uint32_t rate);
    [[nodiscard]] TResult Open();
    [[nodiscard]] TResult Close();
    bool Write(const void* buffer, uint32_t count);
    [[nodiscard]] TResult Flush();
    bool ReadByte(uint8_t* buffer);
    uint32_t BytesAvailable();
    // Whether the open port's far end has hung up; false for a closed port.
    bool LineDropped();

    bool IsOpen() const { return open_ != 0; }
    const char* PortName() const { return portName_; }
    uint32_t BaudRate() const { return lineSettings_.baudRate; }

private:
    uint8_t open_ = 0;
    CommTimeouts timeouts_;
    char portName_[32] = "COM2";
    LineSettings lineSettings_;
    std::unique_ptr<SerialEdge> handle_;
};
