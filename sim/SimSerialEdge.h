// A serial device that is a cable to the simulated handheld, in simulated time: the desktop's
// port (TCommPort) runs on it unchanged in tests, with no terminal and no waiting. Reads that
// find nothing wait out the port's read time-out on the virtual clock; a flush waits until
// the written bytes have left, as the platform's flush does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/SerialEdge.h"
#include "sim/SimLine.h"
#include "sim/VirtualClock.h"

class Handheld;

class SimSerialEdge : public SerialEdge {
public:
    // The handheld and the clock are the test's; they must outlive the edge. Every device
    // name opens. Pacing on: bytes take their time at the line speeds in force.
    SimSerialEdge(Handheld& handheld, VirtualClock& clock, bool pacing = true);

    bool Open(const char* name) override;
    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;
    bool Close() override;
    bool Write(const uint8_t* data, uint32_t count) override;
    bool ReadByte(uint8_t& byte) override;
    uint32_t BytesWaiting() override;
    // Moves the clock on to the next byte's arrival, or by the whole time when none comes.
    bool WaitForInput(uint32_t timeoutMs) override;
    bool Flush() override;
    // The cable stays plugged in; a handheld whose line died just stops answering.
    bool LineDropped() override { return false; }

    // Makes one kind of call fail (returning false or, for BytesWaiting, 0) until cleared.
    enum class Call { Open, GetState, SetState, SetTimeouts, Close, Write, ReadByte, Flush };
    void SetFailing(Call call, bool fail);

    bool IsOpen() const { return open_; }
    const std::string& OpenedName() const { return name_; }
    const LineSettings& Settings() const { return settings_; }
    SimLine& Line() { return line_; }

private:
    bool Failing(Call call) const { return (failing_ >> static_cast<unsigned>(call)) & 1u; }
    void Pull();

    VirtualClock& clock_;
    SimLine line_;
    bool open_ = false;
    std::string name_;
    LineSettings settings_;
    CommTimeouts timeouts_;
    std::vector<uint8_t> received_;
    size_t readAt_ = 0;
    unsigned failing_ = 0;
};
