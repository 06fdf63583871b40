#include "link/Cmd.h"

#include <algorithm>
#include <cstring>

#include "link/ByteOrder.h"
#include "link/Clock.h"
#include "link/CommPort.h"
#include "link/SLK.h"
#include "support/Log.h"

using byteorder::GetBE16;
using byteorder::GetBE32;
using byteorder::PutBE16;
using byteorder::PutBE32;

namespace {

constexpr int kAttempts = 3;

// A request that would not fit the request area is refused before anything is sent.
constexpr TResult kRequestTooLarge = -614;  // "Serial XMIT buffer full error"

// What each command expects back: reply body maximum and time-out.
struct CommandLimits {
    uint16_t replyMax;
    uint32_t timeoutMs;
};
constexpr CommandLimits kVersionLimits{4, 500};
constexpr CommandLimits kWriteRamLimits{0, 4000};
constexpr CommandLimits kChipListLimits{98, 2000};
constexpr CommandLimits kEraseLimits{6, 10000};
constexpr CommandLimits kProgramLimits{6, 5000};
constexpr uint32_t kReadMemoryTimeoutMs = 2000;
constexpr CommandLimits kLeaveLimits{0, 500};
constexpr CommandLimits kLineSpeedLimits{0, 500};
constexpr CommandLimits kChecksumLimits{2, 4000};
constexpr CommandLimits kBatteryLimits{2, 250};
constexpr CommandLimits kHardwareIdLimits{2, 250};
constexpr CommandLimits kFindFreeLimits{4, 1000};

// Request bodies: offsets of their fields.
namespace writeram {
constexpr int kAddress = 0, kCount = 4, kData = 6;
constexpr int kFixed = 7;  // header plus the trailing byte the loader expects
}  // namespace writeram
namespace program {
constexpr int kBlock = 0, kAddress = 4, kCount = 8, kData = 10;
constexpr int kFixed = 11;
}  // namespace program
namespace readmem {
constexpr int kAddress = 0, kCount = 4, kLength = 6;
}
namespace checksum {
constexpr int kAddress = 0, kLength = 4, kBodyLength = 8;
}
namespace findfree {
constexpr int kStart = 0, kBodyLength = 20;
// The loader's search window after the start address, as it expects them.
constexpr uint32_t kWords[4] = {0, 0x80000000, 0, 0x00FFFFFF};
}  // namespace findfree

// Reply bodies.
namespace chiplist {
constexpr int kCount = 0, kFlashBase = 2, kFirstChip = 6, kChipSize = 4;
constexpr int kManufacturer = 0, kDevice = 2;
}  // namespace chiplist
constexpr int kStatus = 0;  // erase and program replies

}  // namespace

TCmd::TCmd(TSLK* slk) : slk_(slk) {}

TResult TCmd::IssueCmd(uint8_t command, const uint8_t* body, uint16_t bodyLength,
                       uint8_t replyType, uint8_t* reply, uint16_t replyMax, uint32_t timeoutMs,
                       uint16_t* replySize) {
    if (!slk_) return rc::NoEngine;
    ++id_;
    Clock& clock = LinkClock();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (slk_->SLKSendPacket(id_, command, bodyLength, body) != rc::Success) {
            PrintMessage(3, "SLKSendPacket Timeout\n");
            continue;
        }
        const uint32_t start = clock.NowMs();
        TResult status;
        do {
            uint8_t rxId = 0, rxType = 0;
            uint16_t rxSize = 0;
            status = slk_->SLKReceivePacket(replyMax, reply, &rxId, &rxType, &rxSize);
            if (status == rc::Success) {
                if (rxType == replyType && rxId == id_) {
                    if (replySize) *replySize = rxSize;
                    return rc::Success;
                }
                PrintMessage(5, "Bad Response: ctrl:%d id:%d size: %d\n", rxType, rxId, rxSize);
            } else if (slk_->Port()->BytesAvailable() == 0) {
                // Nothing to chew on: give the core back until the next byte can be there.
                clock.SleepMs(1);
            }
        } while (ElapsedMs(start, clock.NowMs()) < timeoutMs ||
                 status == rc::ReceivingPacket);
    }
    PrintMessage(3, "SLKReceivePacket Timeout\n");
    return rc::ConnectionLost;
}

// Sends the request built in request_ and leaves the reply in `reply`, with whatever the
// loader did not send (a reply shorter than its fields) reading as zeros.
TResult TCmd::Transact(uint8_t command, uint16_t bodyLength, uint8_t* reply, uint16_t replyMax,
                       uint32_t timeoutMs) {
    uint8_t none[1];
    uint8_t* into = replyMax ? reply : none;
    uint16_t got = 0;
    const TResult result = IssueCmd(command, request_, bodyLength,
                                    static_cast<uint8_t>(loader::kReplyBit | command), into,
                                    replyMax, timeoutMs, &got);
    if (result == rc::Success && got < replyMax) std::memset(reply + got, 0, replyMax - got);
    return result;
}

TResult TCmd::GetVersion(uint16_t* version, uint16_t* second) {
    uint8_t reply[kVersionLimits.replyMax];
    const TResult result =
        Transact(loader::Version, 0, reply, sizeof reply, kVersionLimits.timeoutMs);
    if (result != rc::Success) return result;
    if (version) *version = GetBE16(reply + 0);
    if (second) *second = GetBE16(reply + 2);
    return rc::Success;
}

TResult TCmd::WriteRAM(uint32_t address, const uint8_t* data, uint16_t count) {
    PrintMessage(1, "WriteRAM %lx  %x\n", static_cast<unsigned long>(address), count);
    if (writeram::kFixed + count > static_cast<int>(sizeof request_)) return kRequestTooLarge;
    if (count && !data) return kRequestTooLarge;
    PutBE32(request_ + writeram::kAddress, address);
    PutBE16(request_ + writeram::kCount, count);
    if (count) std::memcpy(request_ + writeram::kData, data, count);
    request_[writeram::kData + count] = 0;
    return Transact(loader::WriteRam, static_cast<uint16_t>(writeram::kFixed + count), nullptr,
                    kWriteRamLimits.replyMax, kWriteRamLimits.timeoutMs);
}

TResult TCmd::GetChipList(ChipListReply* out) {
    uint8_t reply[kChipListLimits.replyMax];
    const TResult result =
        Transact(loader::ChipList, 0, reply, sizeof reply, kChipListLimits.timeoutMs);
    if (result != rc::Success || !out) return result;
    *out = ChipListReply{};
    out->count = GetBE16(reply + chiplist::kCount);
    out->flashBase = GetBE32(reply + chiplist::kFlashBase);
    const int kept = std::min<int>(out->count, static_cast<int>(std::size(out->chips)));
    for (int i = 0; i < kept; ++i) {
        const uint8_t* chip = reply + chiplist::kFirstChip + i * chiplist::kChipSize;
        out->chips[i].manufacturer = GetBE16(chip + chiplist::kManufacturer);
        out->chips[i].device = GetBE16(chip + chiplist::kDevice);
    }
    return rc::Success;
}

TResult TCmd::EraseBlock(uint32_t address) {
    PutBE32(request_, address);
    uint8_t reply[kEraseLimits.replyMax];
    const TResult result =
        Transact(loader::EraseBlock, 4, reply, sizeof reply, kEraseLimits.timeoutMs);
    if (result != rc::Success) return result;
    // The loader's status word is a result code of our own code space.
    return static_cast<TResult>(GetBE16(reply + kStatus));
}

TResult TCmd::ProgramFlash(uint32_t blockAddress, uint32_t address, const uint8_t* data,
                           uint16_t count) {
    if (program::kFixed + count > static_cast<int>(sizeof request_)) return kRequestTooLarge;
    if (count && !data) return kRequestTooLarge;
    PutBE32(request_ + program::kBlock, blockAddress);
    PutBE32(request_ + program::kAddress, address);
    PutBE16(request_ + program::kCount, count);
    if (count) std::memcpy(request_ + program::kData, data, count);
    request_[program::kData + count] = 0;
    uint8_t reply[kProgramLimits.replyMax];
    const TResult result =
        Transact(loader::ProgramFlash, static_cast<uint16_t>(program::kFixed + count), reply,
                 sizeof reply, kProgramLimits.timeoutMs);
    if (result != rc::Success) return result;
    return static_cast<TResult>(GetBE16(reply + kStatus));
}

TResult TCmd::ReadMemory(uint32_t address, uint8_t* buffer, uint16_t count) {
    if (count && !buffer) return kRequestTooLarge;
    PutBE32(request_ + readmem::kAddress, address);
    PutBE16(request_ + readmem::kCount, count);
    return Transact(loader::ReadMemory, readmem::kLength, buffer, count, kReadMemoryTimeoutMs);
}

TResult TCmd::Leave() {
    return Transact(loader::Leave, 0, nullptr, kLeaveLimits.replyMax, kLeaveLimits.timeoutMs);
}

TResult TCmd::SetLineSpeed(uint32_t bitsPerSecond) {
    PutBE32(request_, bitsPerSecond);
    return Transact(loader::LineSpeed, 4, nullptr, kLineSpeedLimits.replyMax,
                    kLineSpeedLimits.timeoutMs);
}

TResult TCmd::RangeChecksum(uint32_t address, uint32_t length, uint16_t* value) {
    PutBE32(request_ + checksum::kAddress, address);
    PutBE32(request_ + checksum::kLength, length);
    uint8_t reply[kChecksumLimits.replyMax];
    const TResult result = Transact(loader::Checksum, checksum::kBodyLength, reply,
                                    sizeof reply, kChecksumLimits.timeoutMs);
    if (result == rc::Success && value) *value = GetBE16(reply);
    return result;
}

TResult TCmd::BatteryPercent(uint8_t* percent) {
    PrintMessage(5, "IssueCmd (batt percent)\n");
    uint8_t reply[kBatteryLimits.replyMax];
    const TResult result =
        Transact(loader::Battery, 0, reply, sizeof reply, kBatteryLimits.timeoutMs);
    if (result == rc::Success && percent) *percent = reply[0];
    return result;
}

TResult TCmd::HardwareId(uint16_t* id) {
    uint8_t reply[kHardwareIdLimits.replyMax];
    const TResult result =
        Transact(loader::HardwareId, 0, reply, sizeof reply, kHardwareIdLimits.timeoutMs);
    if (result == rc::Success && id) *id = GetBE16(reply);
    return result;
}

TResult TCmd::FindFreeChunk(uint32_t start, uint32_t* address) {
    PutBE32(request_ + findfree::kStart, start);
    for (int i = 0; i < 4; ++i) PutBE32(request_ + 4 + 4 * i, findfree::kWords[i]);
    uint8_t reply[kFindFreeLimits.replyMax];
    const TResult result = Transact(loader::FindFreeChunk, findfree::kBodyLength, reply,
                                    sizeof reply, kFindFreeLimits.timeoutMs);
    if (result == rc::Success && address) *address = GetBE32(reply);
    return result;
}
