#include "link/SLK.h"

#include "base/ByteOrder.h"
#include "base/Crc16.h"
#include "link/Clock.h"
#include "link/CommPort.h"

namespace {

// Packet header, as it goes on the wire after the lead-in.
namespace hdr {
constexpr uint8_t kSignature[3] = {0xBE, 0xEF, 0xED};
constexpr int kSig = 0;
constexpr int kDestSocket = 3;
constexpr int kSrcSocket = 4;
constexpr int kType = 5;
constexpr int kBodySize = 6;  // u16
constexpr int kTransactionId = 8;
constexpr int kChecksum = 9;  // sum of bytes 0-8
constexpr int kLength = 10;
}  // namespace hdr

constexpr uint8_t kLeadIn[3] = {0x80, 0x80, 0x80};

// A packet that goes quiet for longer than this is given up.
constexpr uint32_t kIdleMs = 220;

// Receiver states: where the next byte belongs.
enum : uint8_t {
    kSig1 = 0,
    kSig2,
    kSig3,
    kDest,
    kSrc,
    kTypeByte,
    kSizeHigh,
    kSizeLow,
    kIdByte,
    kHeaderSum,
    kBody,
    kCrcLow,
};

uint16_t CrcAdd(uint16_t crc, uint8_t b) { return Crc16Update(crc, &b, 1); }

// Whether tick `now` lies after `deadline` on a wrapping 32-bit clock.
bool IsLater(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) > 0; }

}  // namespace

TSLK::TSLK(TCommPort* port) : port_(port) {}

TResult TSLK::SLKSendPacket(uint8_t transactionId, uint8_t type, uint16_t bodySize,
                            const uint8_t* body) {
    if (!body && bodySize != 0) return rc::PacketWriteError;

    uint8_t header[hdr::kLength];
    header[hdr::kSig + 0] = hdr::kSignature[0];
    header[hdr::kSig + 1] = hdr::kSignature[1];
    header[hdr::kSig + 2] = hdr::kSignature[2];
    header[hdr::kDestSocket] = 0;
    header[hdr::kSrcSocket] = 0;
    header[hdr::kType] = type;
    byteorder::PutBE16(header + hdr::kBodySize, bodySize);
    header[hdr::kTransactionId] = transactionId;
    uint8_t sum = 0;
    for (int i = 0; i < hdr::kChecksum; ++i) sum = static_cast<uint8_t>(sum + header[i]);
    header[hdr::kChecksum] = sum;

    uint16_t crc = Crc16Update(0, header, sizeof header);
    if (bodySize) crc = Crc16Update(crc, body, bodySize);
    uint8_t footer[2];
    byteorder::PutBE16(footer, crc);

    if (!port_->Write(kLeadIn, sizeof kLeadIn)) return rc::PacketWriteError;
    if (!port_->Write(header, sizeof header)) return rc::PacketWriteError;
    if (!port_->Write(body, bodySize)) return rc::PacketWriteError;
    if (!port_->Write(footer, sizeof footer)) return rc::PacketWriteError;
    return port_->Flush();
}

TResult TSLK::SLKReceivePacket(uint16_t maxBodySize, uint8_t* body, uint8_t* transactionId,
                               uint8_t* type, uint16_t* bodySize) {
    const uint32_t now = LinkClock().NowMs();
    if (port_->BytesAvailable() == 0) {
        if (IsLater(now, deadline_)) {
            deadline_ = now + kIdleMs;
            status_ = rc::NoPacket;
            state_ = kSig1;
        }
        return status_;
    }
    deadline_ = now + kIdleMs;

    if (!body) maxBodySize = 0;

    while (port_->BytesAvailable() > 0) {
        uint8_t b = 0;
        if (!port_->ReadByte(&b)) break;  // nothing came after all; try again next call
        switch (state_) {
            case kSig1:
                if (b == hdr::kSignature[0]) {
                    runningCrc_ = CrcAdd(0, b);
                    headerSum_ = b;
                    state_ = kSig2;
                }
                break;
            case kSig2:
            case kSig3:
                if (b != hdr::kSignature[state_]) {
                    state_ = kSig1;
                    break;
                }
                runningCrc_ = CrcAdd(runningCrc_, b);
                headerSum_ = static_cast<uint8_t>(headerSum_ + b);
                if (state_ == kSig3) {
                    rxSize_ = 0;
                    rxType_ = 0;
                    rxCrc_ = 0;
                    rxCount_ = 0;
                }
                ++state_;
                break;
            case kDest:
            case kSrc:
                runningCrc_ = CrcAdd(runningCrc_, b);
                headerSum_ = static_cast<uint8_t>(headerSum_ + b);
                ++state_;
                break;
            case kTypeByte:
                runningCrc_ = CrcAdd(runningCrc_, b);
                headerSum_ = static_cast<uint8_t>(headerSum_ + b);
                rxType_ = b;
                state_ = kSizeHigh;
                break;
            case kSizeHigh:
            case kSizeLow:
                runningCrc_ = CrcAdd(runningCrc_, b);
                headerSum_ = static_cast<uint8_t>(headerSum_ + b);
                rxSize_ = static_cast<uint16_t>((rxSize_ << 8) | b);
                state_ = rxSize_ > maxBodySize ? uint8_t{kSig1} : static_cast<uint8_t>(state_ + 1);
                break;
            case kIdByte:
                rxId_ = b;
                runningCrc_ = CrcAdd(runningCrc_, b);
                headerSum_ = static_cast<uint8_t>(headerSum_ + b);
                state_ = kHeaderSum;
                break;
            case kHeaderSum:
                if (b == headerSum_) {
                    runningCrc_ = CrcAdd(runningCrc_, b);
                    state_ = kBody;
                } else {
                    state_ = kSig1;
                }
                break;
            case kBody:
                if (rxCount_ == rxSize_) {
                    rxCrc_ = b;
                    state_ = kCrcLow;
                } else if (rxCount_ >= maxBodySize) {
                    // Only reachable when a caller shrinks its buffer mid-packet.
                    state_ = kSig1;
                } else {
                    // Into this call's buffer at the count: a packet that spans calls must not
                    // write through a pointer into a buffer an earlier caller may have freed.
                    body[rxCount_++] = b;
                    runningCrc_ = CrcAdd(runningCrc_, b);
                }
                break;
            case kCrcLow:
            default:
                if (transactionId) *transactionId = rxId_;
                if (bodySize) *bodySize = rxSize_;
                if (type) *type = static_cast<uint8_t>(rxType_);
                rxCrc_ = static_cast<uint16_t>((rxCrc_ << 8) | b);
                state_ = kSig1;
                if (rxCrc_ == runningCrc_) {
                    status_ = rc::NoPacket;
                    return rc::Success;
                }
                break;
        }
    }
    status_ = state_ != kSig1 ? rc::ReceivingPacket : rc::NoPacket;
    return status_;
}
