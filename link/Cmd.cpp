#include "link/Cmd.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Log.h"
#include "link/Clock.h"
#include "link/CommPort.h"
#include "link/SLK.h"

using byteorder::GetBE16;
using byteorder::GetBE32;
using byteorder::PutBE16;
using byteorder::PutBE32;

namespace {

// Shorthands for the rows of link/Commands.def.
constexpr const LoaderCommandInfo& kVersion = LoaderCommand(loader::Version);
constexpr const LoaderCommandInfo& kWriteRam = LoaderCommand(loader::WriteRam);
constexpr const LoaderCommandInfo& kChipList = LoaderCommand(loader::ChipList);
constexpr const LoaderCommandInfo& kErase = LoaderCommand(loader::EraseBlock);
constexpr const LoaderCommandInfo& kProgram = LoaderCommand(loader::ProgramFlash);
constexpr const LoaderCommandInfo& kReadMemory = LoaderCommand(loader::ReadMemory);
constexpr const LoaderCommandInfo& kLeave = LoaderCommand(loader::Leave);
constexpr const LoaderCommandInfo& kLineSpeed = LoaderCommand(loader::LineSpeed);
constexpr const LoaderCommandInfo& kChecksum = LoaderCommand(loader::Checksum);
constexpr const LoaderCommandInfo& kBattery = LoaderCommand(loader::Battery);
constexpr const LoaderCommandInfo& kHardwareId = LoaderCommand(loader::HardwareId);
constexpr const LoaderCommandInfo& kFindFree = LoaderCommand(loader::FindFreeChunk);

// Request bodies: offsets of their fields.
namespace writeram {
constexpr int kAddress = 0, kCount = 4, kData = 6;
// The fields, and the trailing byte the loader expects after the data.
static_assert(kWriteRam.request == kData + 1);
}  // namespace writeram
namespace program {
constexpr int kBlock = 0, kAddress = 4, kCount = 8, kData = 10;
static_assert(kProgram.request == kData + 1);
}  // namespace program
namespace readmem {
constexpr int kAddress = 0, kCount = 4;
}
namespace checksum {
constexpr int kAddress = 0, kLength = 4;
}
namespace findfree {
constexpr int kStart = 0;
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

TResult TCmd::IssueCmd(uint8_t command, const uint8_t* body, uint16_t bodyLength, uint8_t replyType,
                       uint8_t* reply, uint16_t replyMax, uint32_t timeoutMs, uint16_t* replySize,
                       int attempts) {
    if (!slk_) return rc::NoEngine;
    ++id_;
    Clock& clock = LinkClock();
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (slk_->SLKSendPacket(id_, command, bodyLength, body) != rc::Success) {
            PrintMessage(3, "SLKSendPacket Timeout\n");
            continue;
        }
        const uint32_t start = clock.NowMs();
        for (;;) {
            uint8_t rxId = 0, rxType = 0;
            uint16_t rxSize = 0;
            const TResult status = slk_->SLKReceivePacket(replyMax, reply, &rxId, &rxType, &rxSize);
            if (status == rc::Success) {
                if (rxType == replyType && rxId == id_) {
                    if (replySize) *replySize = rxSize;
                    return rc::Success;
                }
                PrintMessage(5, "Bad Response: ctrl:%d id:%d size: %d\n", rxType, rxId, rxSize);
                continue;
            }
            // Judged after a look at the port, so that a reply that came while we waited (or
            // while the front end had the thread) is never taken for silence.
            const uint32_t elapsed = ElapsedMs(start, clock.NowMs());
            if (elapsed >= timeoutMs && status != rc::ReceivingPacket) break;
            if (slk_->Port()->BytesAvailable() != 0) continue;
            // A line that is gone will bring nothing, however long we wait.
            if (slk_->Port()->LineDropped()) {
                PrintMessage(3, "Line dropped\n");
                return rc::ConnectionLost;
            }
            // Past the time-out only a packet still coming in keeps us, until the link gives
            // it up: a millisecond at a time.
            (void)slk_->Port()->WaitForInput(elapsed < timeoutMs ? timeoutMs - elapsed : 1);
        }
    }
    PrintMessage(3, "SLKReceivePacket Timeout\n");
    return rc::ConnectionLost;
}

// Sends the request built in request_ (the command's fields and `dataBytes` of data) and
// leaves the reply in `reply`, with whatever the loader did not send (a reply shorter than
// its fields) reading as zeros. `replyMax` is what the caller's buffer takes.
TResult TCmd::Transact(const LoaderCommandInfo& command, uint16_t dataBytes, uint8_t* reply,
                       uint16_t replyMax, int attempts) {
    uint8_t none[1];
    uint8_t* into = replyMax ? reply : none;
    uint16_t got = 0;
    const TResult result =
        IssueCmd(command.code, request_, static_cast<uint16_t>(command.request + dataBytes),
                 static_cast<uint8_t>(loader::kReplyBit | command.code), into, replyMax,
                 command.timeoutMs, &got, attempts);
    if (result == rc::Success && got < replyMax) std::memset(reply + got, 0, replyMax - got);
    return result;
}

TResult TCmd::GetVersion(uint16_t* version, uint16_t* second, int attempts) {
    uint8_t reply[kVersion.reply];
    if (const TResult r = Transact(kVersion, 0, reply, sizeof reply, attempts)) return r;
    if (version) *version = GetBE16(reply + 0);
    if (second) *second = GetBE16(reply + 2);
    return rc::Success;
}

TResult TCmd::WriteRAM(uint32_t address, const uint8_t* data, uint16_t count) {
    PrintMessage(1, "WriteRAM %lx  %x\n", static_cast<unsigned long>(address), count);
    if (std::size_t{kWriteRam.request} + count > sizeof request_) return rc::XmitBufferFull;
    if (count && !data) return rc::XmitBufferFull;
    PutBE32(request_ + writeram::kAddress, address);
    PutBE16(request_ + writeram::kCount, count);
    if (count) std::memcpy(request_ + writeram::kData, data, count);
    request_[writeram::kData + count] = 0;
    return Transact(kWriteRam, count, nullptr, 0);
}

TResult TCmd::GetChipList(ChipListReply* out) {
    uint8_t reply[kChipList.reply];
    const TResult result = Transact(kChipList, 0, reply, sizeof reply);
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
    uint8_t reply[kErase.reply];
    if (const TResult r = Transact(kErase, 0, reply, sizeof reply)) return r;
    // The loader's status word is a result code of our own code space.
    return static_cast<TResult>(GetBE16(reply + kStatus));
}

TResult TCmd::ProgramFlash(uint32_t blockAddress, uint32_t address, const uint8_t* data,
                           uint16_t count) {
    if (std::size_t{kProgram.request} + count > sizeof request_) return rc::XmitBufferFull;
    if (count && !data) return rc::XmitBufferFull;
    PutBE32(request_ + program::kBlock, blockAddress);
    PutBE32(request_ + program::kAddress, address);
    PutBE16(request_ + program::kCount, count);
    if (count) std::memcpy(request_ + program::kData, data, count);
    request_[program::kData + count] = 0;
    uint8_t reply[kProgram.reply];
    if (const TResult r = Transact(kProgram, count, reply, sizeof reply)) return r;
    return static_cast<TResult>(GetBE16(reply + kStatus));
}

TResult TCmd::ReadMemory(uint32_t address, uint8_t* buffer, uint16_t count) {
    if (count && !buffer) return rc::XmitBufferFull;
    PutBE32(request_ + readmem::kAddress, address);
    PutBE16(request_ + readmem::kCount, count);
    return Transact(kReadMemory, 0, buffer, count);
}

TResult TCmd::Leave() { return Transact(kLeave, 0, nullptr, 0); }

TResult TCmd::SetLineSpeed(uint32_t bitsPerSecond) {
    PutBE32(request_, bitsPerSecond);
    return Transact(kLineSpeed, 0, nullptr, 0);
}

TResult TCmd::RangeChecksum(uint32_t address, uint32_t length, uint16_t* value) {
    PutBE32(request_ + checksum::kAddress, address);
    PutBE32(request_ + checksum::kLength, length);
    uint8_t reply[kChecksum.reply];
    const TResult result = Transact(kChecksum, 0, reply, sizeof reply);
    if (result == rc::Success && value) *value = GetBE16(reply);
    return result;
}

TResult TCmd::BatteryPercent(uint8_t* percent) {
    PrintMessage(5, "IssueCmd (batt percent)\n");
    uint8_t reply[kBattery.reply];
    const TResult result = Transact(kBattery, 0, reply, sizeof reply);
    if (result == rc::Success && percent) *percent = reply[0];
    return result;
}

TResult TCmd::HardwareId(uint16_t* id) {
    uint8_t reply[kHardwareId.reply];
    const TResult result = Transact(kHardwareId, 0, reply, sizeof reply);
    if (result == rc::Success && id) *id = GetBE16(reply);
    return result;
}

TResult TCmd::FindFreeChunk(uint32_t start, uint32_t* address) {
    PutBE32(request_ + findfree::kStart, start);
    for (int i = 0; i < 4; ++i) PutBE32(request_ + 4 + 4 * i, findfree::kWords[i]);
    uint8_t reply[kFindFree.reply];
    const TResult result = Transact(kFindFree, 0, reply, sizeof reply);
    if (result == rc::Success && address) *address = GetBE32(reply);
    return result;
}
