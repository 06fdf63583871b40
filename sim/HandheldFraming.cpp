#include "sim/HandheldFraming.h"

#include "base/Crc16.h"

namespace {

constexpr uint8_t kSignature[] = {0xBE, 0xEF, 0xED};
constexpr uint64_t kGapNs = 200'000'000;

}  // namespace

PacketReceiver::PacketReceiver(size_t maxBody) : maxBody_(maxBody) {}

void PacketReceiver::Feed(uint8_t byte, uint64_t nowNs, std::vector<Packet>& packets) {
    if (!buffer_.empty() && nowNs - lastNs_ > kGapNs) buffer_.clear();
    lastNs_ = nowNs;
    if (buffer_.empty() && byte != kSignature[0]) return;  // lead-in and noise
    buffer_.push_back(byte);
    Scan(packets);
}

// The buffer always starts where a packet might start. On any doubt the first byte goes and
// the rest is searched again, so a signature inside a broken frame is not missed.
void PacketReceiver::Scan(std::vector<Packet>& packets) {
    auto resync = [this] {
        size_t next = 1;
        while (next < buffer_.size() && buffer_[next] != kSignature[0]) ++next;
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(next));
    };
    while (!buffer_.empty()) {
        bool bad = false;
        for (size_t i = 0; i < sizeof kSignature && i < buffer_.size(); ++i)
            bad = bad || buffer_[i] != kSignature[i];
        if (bad) {
            resync();
            continue;
        }
        if (buffer_.size() < frame::kHeaderSize) return;
        uint8_t sum = 0;
        for (size_t i = 0; i < frame::kChecksumAt; ++i)
            sum = static_cast<uint8_t>(sum + buffer_[i]);
        const size_t bodySize = GetBe16(&buffer_[frame::kSizeAt]);
        if (sum != buffer_[frame::kChecksumAt] || bodySize > maxBody_) {
            ++rejected_;
            resync();
            continue;
        }
        const size_t total = frame::kHeaderSize + bodySize + frame::kCrcSize;
        if (buffer_.size() < total) return;
        const size_t crcAt = frame::kHeaderSize + bodySize;
        if (Crc16(buffer_.data(), crcAt) != GetBe16(&buffer_[crcAt])) {
            ++rejected_;
            resync();
            continue;
        }
        Packet packet;
        packet.type = buffer_[frame::kTypeAt];
        packet.id = buffer_[frame::kIdAt];
        packet.body.assign(buffer_.begin() + frame::kHeaderSize, buffer_.begin() + crcAt);
        packets.push_back(std::move(packet));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
    }
}

std::vector<uint8_t> EncodePacket(uint8_t type, uint8_t id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(kSignature, kSignature + sizeof kSignature);
    out.push_back(0);  // destination socket
    out.push_back(0);  // source socket
    out.push_back(type);
    PutBe16(out, static_cast<uint16_t>(body.size()));
    out.push_back(id);
    uint8_t sum = 0;
    for (uint8_t b : out) sum = static_cast<uint8_t>(sum + b);
    out.push_back(sum);
    out.insert(out.end(), body.begin(), body.end());
    PutBe16(out, Crc16(out.data(), out.size()));
    return out;
}
