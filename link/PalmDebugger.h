// The handheld's ROM debugger, used only to copy the loader into handheld RAM and start it.
#pragma once

#include <cstdint>

#include "base/ResultCodes.h"
#include "link/Commands.h"

class TSLK;
class GuiCallback;

namespace debugger {
constexpr uint8_t kStateReply = 0x80;  // the first byte of the state command's reply
constexpr uint32_t kLoadAddress = 0x00010000;
constexpr uint8_t kEntryMark[4] = {0xFA, 0xAB, 0xF0, 0x0D};  // LOADER_ENTRY_MARK
constexpr uint32_t kChunk = 256;
}  // namespace debugger

class TPalmDebugger {
public:
    TPalmDebugger(TSLK* slk, GuiCallback* callback);

    [[nodiscard]] TResult QueryState();
    [[nodiscard]] TResult WriteMemory(uint32_t address, const uint8_t* data, uint16_t count);
    [[nodiscard]] TResult Execute(uint32_t entryAddress);

    // Writes the image to handheld RAM in 256-byte chunks, reporting progress 0..4, finds
    // the entry mark and starts the loader. `bufferSize` is how many bytes the caller's
    // buffer holds (at least `size`); bytes of the last chunk past it go out as zeros.
    [[nodiscard]] TResult UploadLoader(const uint8_t* image, uint32_t size, uint32_t bufferSize);

private:
    // One debugger transaction. Expecting a reply: 0, or -405 when no reply of type 0 with
    // our id came. Not expecting one (execute): 0 on silence, -404 when the debugger answered.
    [[nodiscard]] TResult Transact(uint16_t bodyLength, uint32_t timeoutMs, bool expectReply);

    uint32_t counter_ = 0;
    uint16_t replySize_ = 0;  // body size of the last accepted reply
    uint8_t command_[300] = {};
    uint8_t reply_[debugger::kReplyMax] = {};
    TSLK* slk_;
    GuiCallback* callback_;
};
