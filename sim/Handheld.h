// A simulated handheld on the far end of the serial cable: its ROM debugger, the Bootlet
// loader once started, flash chips and RAM, and the faults a run asks for. It is fed the bytes
// that reach it and hands back the bytes it sends, each reply with the line speed it leaves
// at; pacing and real time are the line's business (SimLine).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "sim/HandheldConfig.h"
#include "sim/HandheldFraming.h"
#include "sim/HandheldMemory.h"

// One reply as it leaves the handheld.
struct Transmission {
    std::vector<uint8_t> bytes;
    uint32_t lineSpeed = kResetLineSpeed;  // bps the bytes are sent at
    uint32_t delayMs = 0;                  // time before the first byte leaves
    uint64_t createdNs = 0;                // arrival time of the request's last byte
};

// What the handheld did to its stores, for the state directory to show.
enum class StoreEvent : uint8_t {
    RamStoreErased,       // the RAM store's first 4 KiB were written blank: its databases are gone
    FlashStoreFinalised,  // the flash store was set up afresh: the databases added to it are gone
};

// Status words of the loader's erase and program replies.
namespace loader_status {
constexpr uint16_t kOk = 0;
constexpr uint16_t kEraseFailed = 0xFF9C;
constexpr uint16_t kWriteFailed = 0xFF9B;
}  // namespace loader_status

class Handheld {
public:
    // `config` must pass ValidateConfig. Flash starts erased, RAM cleared.
    explicit Handheld(const HandheldConfig& config);

    // Bytes from the cable, in order, the last of them arriving at `nowNs` (any time scale
    // that only goes forward; the receiver forgets a packet left unfinished for 200 ms).
    void Receive(const uint8_t* data, size_t count, uint64_t nowNs);
    // The next reply to leave, oldest first.
    bool TakeTransmission(Transmission& transmission);

    HandheldMode Mode() const { return config_.mode; }
    // The user pressed reset: into the ROM debugger (page-down held), or into the OS.
    void Reset(HandheldMode mode);
    // The speed the handheld listens and sends at now.
    uint32_t LineSpeed() const { return config_.lineSpeed; }
    // Once the hang-up fault has struck, nothing is answered any more.
    bool LineDead() const { return lineDead_; }
    uint32_t PacketsReceived() const { return packetsReceived_; }

    HandheldMemory& Memory() { return memory_; }
    const HandheldMemory& Memory() const { return memory_; }
    // The configuration as it stands now (mode and line speed follow the handheld).
    const HandheldConfig& Config() const { return config_; }

    // Receives one line per request, reply and oddity; for palmsim's --verbose.
    void SetTrace(std::function<void(const std::string&)> trace) { trace_ = std::move(trace); }
    // Told of each store event as it happens.
    void SetStoreListener(std::function<void(StoreEvent)> listener) {
        storeListener_ = std::move(listener);
    }

private:
    void Handle(const Packet& packet, uint64_t nowNs);
    bool HandleDebugger(const Packet& packet, std::vector<uint8_t>& reply);
    bool HandleLoader(const Packet& packet, std::vector<uint8_t>& reply);
    void Send(uint8_t type, uint8_t id, const std::vector<uint8_t>& body, uint64_t nowNs);
    void Degrade(std::vector<uint8_t>& bytes);
    void WriteRam(uint32_t address, const uint8_t* data, uint16_t count);
    void ProgramFlash(uint32_t address, const uint8_t* data, uint16_t count);
    bool StoreChipCountAddress(uint32_t& address) const;
    void Tell(StoreEvent event);
    bool Roll(double fraction);
    void Trace(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    HandheldConfig config_;
    HandheldMemory memory_;
    PacketReceiver receiver_;
    std::vector<Packet> arrived_;
    std::deque<Transmission> outgoing_;
    std::mt19937_64 random_;
    std::function<void(const std::string&)> trace_;
    std::function<void(StoreEvent)> storeListener_;
    uint32_t packetsReceived_ = 0;
    bool lineDead_ = false;
    uint32_t pendingSpeed_ = 0;  // a speed change waiting for its reply to be framed
};
