#include "bench/CountingSerialEdge.h"

#include <utility>

namespace {

constexpr double kBitsPerByte = 10;

// A packet header as it leaves the desktop: signature, two sockets, type, size (2), id and
// the sum of the nine bytes before it.
constexpr uint8_t kSignature[3] = {0xBE, 0xEF, 0xED};
constexpr uint32_t kHeaderLength = 10;
constexpr uint32_t kTypeAt = 5;
constexpr uint32_t kSumAt = 9;

bool IsHeaderAt(const uint8_t* p) {
    if (p[0] != kSignature[0] || p[1] != kSignature[1] || p[2] != kSignature[2]) return false;
    uint8_t sum = 0;
    for (uint32_t i = 0; i < kSumAt; ++i) sum = static_cast<uint8_t>(sum + p[i]);
    return sum == p[kSumAt];
}

}  // namespace

uint64_t WireTally::Written() const {
    uint64_t total = 0;
    for (const AtSpeed& s : speeds) total += s.written;
    return total;
}

uint64_t WireTally::Read() const {
    uint64_t total = 0;
    for (const AtSpeed& s : speeds) total += s.read;
    return total;
}

uint64_t WireTally::Packets() const {
    uint64_t total = 0;
    for (uint64_t n : packetsByType) total += n;
    return total;
}

double WireTally::LineSeconds() const {
    double seconds = 0;
    for (const AtSpeed& s : speeds)
        if (s.bitsPerSecond != 0)
            seconds += static_cast<double>(s.written + s.read) * kBitsPerByte / s.bitsPerSecond;
    return seconds;
}

WireTally WireTally::Since(const WireTally& earlier) const {
    WireTally delta;
    for (const AtSpeed& s : speeds) {
        AtSpeed& d = delta.At(s.bitsPerSecond);
        d.written = s.written;
        d.read = s.read;
        for (const AtSpeed& e : earlier.speeds)
            if (e.bitsPerSecond == s.bitsPerSecond) {
                d.written -= e.written;
                d.read -= e.read;
            }
    }
    for (size_t t = 0; t < packetsByType.size(); ++t)
        delta.packetsByType[t] = packetsByType[t] - earlier.packetsByType[t];
    return delta;
}

WireTally::AtSpeed& WireTally::At(uint32_t bitsPerSecond) {
    for (AtSpeed& s : speeds)
        if (s.bitsPerSecond == bitsPerSecond) return s;
    speeds.push_back(AtSpeed{bitsPerSecond, 0, 0});
    return speeds.back();
}

CountingSerialEdge::CountingSerialEdge(std::unique_ptr<SerialEdge> device, WireTally* tally)
    : device_(std::move(device)), tally_(tally) {}

bool CountingSerialEdge::Open(const char* name) { return device_->Open(name); }

bool CountingSerialEdge::GetState(LineSettings& settings) { return device_->GetState(settings); }

bool CountingSerialEdge::SetState(const LineSettings& settings) {
    if (!device_->SetState(settings)) return false;
    speed_ = settings.baudRate;
    return true;
}

bool CountingSerialEdge::SetTimeouts(const CommTimeouts& timeouts) {
    return device_->SetTimeouts(timeouts);
}

bool CountingSerialEdge::Close() { return device_->Close(); }

bool CountingSerialEdge::Write(const uint8_t* data, uint32_t count) {
    if (!device_->Write(data, count)) return false;
    tally_->At(speed_).written += count;
    CountPackets(data, count);
    return true;
}

bool CountingSerialEdge::ReadByte(uint8_t& byte) {
    if (!device_->ReadByte(byte)) return false;
    ++tally_->At(speed_).read;
    return true;
}

uint32_t CountingSerialEdge::BytesWaiting() { return device_->BytesWaiting(); }

bool CountingSerialEdge::WaitForInput(uint32_t timeoutMs) {
    return device_->WaitForInput(timeoutMs);
}

bool CountingSerialEdge::Flush() { return device_->Flush(); }

bool CountingSerialEdge::LineDropped() { return device_->LineDropped(); }

// The link hands a packet's header over in one piece; its checksum byte keeps data that
// merely starts like a header (an OS image may hold anything) from being counted.
void CountingSerialEdge::CountPackets(const uint8_t* data, uint32_t count) {
    for (uint32_t i = 0; i + kHeaderLength <= count; ++i)
        if (IsHeaderAt(data + i)) {
            ++tally_->packetsByType[data[i + kTypeAt]];
            i += kHeaderLength - 1;
        }
}
