#include "sim/SimLine.h"

#include <algorithm>

#include "sim/Handheld.h"

namespace {

constexpr uint64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr uint64_t kNsPerSecond = 1'000'000'000;
constexpr uint64_t kNsPerMs = 1'000'000;

bool Mismatch(uint32_t sent, uint32_t listening) {
    return sent != 0 && listening != 0 && sent != listening;
}

}  // namespace

SimLine::SimLine(Handheld& handheld, bool pacing)
    : handheld_(handheld), pacing_(pacing), noise_(handheld.Config().faults.seed ^ 0x5EED) {}

// Computed from the start of a run rather than added up byte by byte, so long transfers do
// not drift by the rounding of one byte-time.
uint64_t SimLine::ByteTimesNs(uint32_t speed, uint64_t bytes) const {
    if (!pacing_ || speed == 0) return 0;
    return bytes * kBitsPerByte * kNsPerSecond / speed;
}

void SimLine::FromDesktop(const uint8_t* data, size_t count, uint64_t nowNs,
                          uint32_t desktopSpeed) {
    const uint64_t start = std::max(nowNs, desktopWireFreeNs_);
    for (size_t i = 0; i < count; ++i) {
        const uint64_t arrives = start + ByteTimesNs(desktopSpeed, i + 1);
        uint8_t byte = data[i];
        if (garble_ && Mismatch(desktopSpeed, handheld_.LineSpeed()))
            byte = static_cast<uint8_t>(noise_());
        handheld_.Receive(&byte, 1, arrives);
        Collect();
    }
    desktopWireFreeNs_ = start + ByteTimesNs(desktopSpeed, count);
}

void SimLine::Collect() {
    Transmission transmission;
    while (handheld_.TakeTransmission(transmission)) {
        const uint64_t ready = transmission.createdNs + transmission.delayMs * kNsPerMs;
        const uint64_t start = std::max(ready, deviceWireFreeNs_);
        const size_t count = transmission.bytes.size();
        for (size_t i = 0; i < count; ++i)
            toDesktop_.push_back({start + ByteTimesNs(transmission.lineSpeed, i + 1),
                                  transmission.lineSpeed, transmission.bytes[i]});
        deviceWireFreeNs_ = start + ByteTimesNs(transmission.lineSpeed, count);
    }
}

size_t SimLine::Deliver(uint64_t nowNs, uint32_t desktopSpeed, std::vector<uint8_t>& out) {
    size_t delivered = 0;
    while (!toDesktop_.empty() && toDesktop_.front().arrivesNs <= nowNs) {
        const InFlight& next = toDesktop_.front();
        out.push_back(garble_ && Mismatch(next.speed, desktopSpeed) ? static_cast<uint8_t>(noise_())
                                                                    : next.byte);
        toDesktop_.pop_front();
        ++delivered;
    }
    return delivered;
}

bool SimLine::NextArrival(uint64_t& ns) const {
    if (toDesktop_.empty()) return false;
    ns = toDesktop_.front().arrivesNs;
    return true;
}
