// A serial device that counts what crosses it: bytes written and read, kept apart by the line
// speed in force when they crossed, and the packets sent by their type. From the counts comes
// the least time the line itself needs for them, the yardstick a flash is measured against.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/SerialEdge.h"

struct WireTally {
    struct AtSpeed {
        uint32_t bitsPerSecond = 0;
        uint64_t written = 0;
        uint64_t read = 0;
    };
    std::vector<AtSpeed> speeds;  // in the order the speeds were first used
    std::array<uint64_t, 256> packetsByType{};

    uint64_t Written() const;
    uint64_t Read() const;
    uint64_t Packets() const;
    // Every byte at 10 bit-times (start, 8 data, stop) of the speed it crossed at.
    double LineSeconds() const;
    // What crossed after `earlier`, a copy of this tally taken before.
    WireTally Since(const WireTally& earlier) const;

    AtSpeed& At(uint32_t bitsPerSecond);
};

class CountingSerialEdge final : public SerialEdge {
public:
    // `tally` is not owned and must outlive the edge.
    CountingSerialEdge(std::unique_ptr<SerialEdge> device, WireTally* tally);

    bool Open(const char* name) override;
    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;
    bool Close() override;
    bool Write(const uint8_t* data, uint32_t count) override;
    bool ReadByte(uint8_t& byte) override;
    uint32_t BytesWaiting() override;
    bool WaitForInput(uint32_t timeoutMs) override;
    bool Flush() override;
    bool LineDropped() override;

private:
    void CountPackets(const uint8_t* data, uint32_t count);

    std::unique_ptr<SerialEdge> device_;
    WireTally* tally_;
    uint32_t speed_ = 0;  // 0 until the port has been given one
};
