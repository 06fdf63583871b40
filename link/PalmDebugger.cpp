#include "link/PalmDebugger.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Log.h"
#include "link/Clock.h"
#include "link/CommPort.h"
#include "link/Guicallback.h"
#include "link/SLK.h"

namespace {

// Every debugger body starts with the command and a filler byte.
constexpr int kCommand = 0;
constexpr int kFiller = 1;

constexpr const DebuggerCommandInfo& kState = DebuggerCommand(debugger::State);
constexpr const DebuggerCommandInfo& kWriteMemory = DebuggerCommand(debugger::WriteMemory);
constexpr const DebuggerCommandInfo& kExecute = DebuggerCommand(debugger::Execute);

namespace writemem {
constexpr int kAddress = 2, kCount = 6, kData = 8;
static_assert(kWriteMemory.request == kData);
}  // namespace writemem

namespace execute {
constexpr int kEntry = 16;
}  // namespace execute

// The loader marks its entry point at an even offset in its first 2004 bytes.
constexpr uint32_t kLastMarkOffset = 2000;

}  // namespace

TPalmDebugger::TPalmDebugger(TSLK* slk, GuiCallback* callback) : slk_(slk), callback_(callback) {}

TResult TPalmDebugger::Transact(uint16_t bodyLength, uint32_t timeoutMs, bool expectReply) {
    ++counter_;
    const uint8_t id = static_cast<uint8_t>(counter_);
    // The debugger either answers in time or it does not; a failed send shows as silence.
    (void)slk_->SLKSendPacket(id, debugger::kPacketType, bodyLength, command_);

    Clock& clock = LinkClock();
    const uint32_t start = clock.NowMs();
    bool answered = false;
    for (;;) {
        uint8_t rxId = 0, rxType = 0;
        uint16_t rxSize = 0;
        const TResult status =
            slk_->SLKReceivePacket(debugger::kReplyMax, reply_, &rxId, &rxType, &rxSize);
        if (status == rc::Success) {
            if (rxType == debugger::kPacketType && rxId == id) {
                replySize_ = rxSize;
                answered = true;
                break;
            }
            PrintMessage(5, "Bad Response: ctrl:%d id:%d size: %d\n", rxType, rxId, rxSize);
            continue;
        }
        // Judged after a look at the port: what came while we waited is no silence.
        const uint32_t elapsed = ElapsedMs(start, clock.NowMs());
        if (elapsed >= timeoutMs && status != rc::ReceivingPacket) break;
        if (slk_->Port()->BytesAvailable() != 0) continue;
        if (slk_->Port()->LineDropped()) return rc::ConnectionLost;
        // Past the time-out only a packet still coming in keeps us, until the link gives it
        // up: a millisecond at a time.
        (void)slk_->Port()->WaitForInput(elapsed < timeoutMs ? timeoutMs - elapsed : 1);
    }

    if (expectReply) return answered ? rc::Success : rc::DebuggerTimeout;
    return answered ? rc::ExecuteError : rc::Success;
}

TResult TPalmDebugger::QueryState() {
    counter_ = 0;
    command_[kCommand] = kState.code;
    command_[kFiller] = 0;
    replySize_ = 0;
    const TResult result = Transact(kState.request, kState.timeoutMs, true);
    if (result != rc::Success) return result;
    if (replySize_ < 1 || reply_[0] != debugger::kStateReply) return rc::NotInDebugger;
    return rc::Success;
}

TResult TPalmDebugger::WriteMemory(uint32_t address, const uint8_t* data, uint16_t count) {
    if (writemem::kData + count > static_cast<int>(sizeof command_)) return rc::XmitBufferFull;
    if (count && !data) return rc::XmitBufferFull;
    command_[kCommand] = kWriteMemory.code;
    command_[kFiller] = 0;
    byteorder::PutBE32(command_ + writemem::kAddress, address);
    byteorder::PutBE16(command_ + writemem::kCount, count);
    if (count) std::memcpy(command_ + writemem::kData, data, count);
    const auto length = static_cast<uint16_t>(kWriteMemory.request + count);
    TResult result = rc::DebuggerTimeout;
    for (int attempt = 0; attempt < kWriteMemory.attempts && result != rc::Success; ++attempt)
        result = Transact(length, kWriteMemory.timeoutMs, true);
    return result;
}

TResult TPalmDebugger::Execute(uint32_t entryAddress) {
    std::memset(command_, 0, kExecute.request);
    command_[kCommand] = kExecute.code;
    byteorder::PutBE32(command_ + execute::kEntry, entryAddress);
    return Transact(kExecute.request, kExecute.timeoutMs, false);
}

TResult TPalmDebugger::UploadLoader(const uint8_t* image, uint32_t size, uint32_t bufferSize) {
    if (!image) bufferSize = 0;
    TResult result = QueryState();
    if (result != rc::Success) return result;

    // 64-bit so that neither the offset nor offset * 4 can wrap for any 32-bit size.
    for (uint64_t offset = 0; offset <= size; offset += debugger::kChunk) {
        if (callback_) {
            if (callback_->Aborted()) return rc::LoaderUploadAborted;
            callback_->Progress(size ? static_cast<int32_t>(offset * 4 / size) : 0);
        }
        // The last chunk runs past the image; what lies past the caller's buffer goes as zeros.
        uint8_t chunk[debugger::kChunk] = {};
        if (offset < bufferSize) {
            const auto have = std::min<uint64_t>(debugger::kChunk, bufferSize - offset);
            std::memcpy(chunk, image + offset, static_cast<std::size_t>(have));
        }
        const auto address = static_cast<uint32_t>(debugger::kLoadAddress + offset);
        result = WriteMemory(address, chunk, debugger::kChunk);
        if (result != rc::Success) result = WriteMemory(address, chunk, debugger::kChunk);
        if (result != rc::Success) return result;
            // The line is kept as the tools that read our logs know it, "%0.4lx" included, though
            // the 0 flag means nothing next to a precision.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
        PrintMessage(9, "\ndata_offset %0.4lx size %x\n", static_cast<unsigned long>(offset), size);
#pragma GCC diagnostic pop
    }

    if (callback_) {
        if (callback_->Aborted()) return rc::LoaderUploadAborted;
        callback_->Progress(4);
    }

    const uint8_t* mark = debugger::kEntryMark;
    for (uint32_t offset = 0; offset <= kLastMarkOffset; offset += 2) {
        if (uint64_t{offset} + sizeof debugger::kEntryMark > bufferSize) break;
        if (std::memcmp(image + offset, mark, sizeof debugger::kEntryMark) == 0)
            return Execute(debugger::kLoadAddress + offset + sizeof debugger::kEntryMark);
    }
    return rc::ExecuteError;
}
