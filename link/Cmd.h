// The serial loader's commands, one transaction each: a packet whose type is the command
// and a reply of type 0x80 + command with the same transaction id. Every operation converts
// its arguments to the handheld's big-endian order and its reply fields back.
#pragma once

#include <cstdint>

#include "base/ResultCodes.h"
#include "link/Commands.h"

class TSLK;

struct ChipListReply {
    uint16_t count = 0;  // as reported; may exceed the entries kept
    uint32_t flashBase = 0;
    struct Chip {
        uint16_t manufacturer = 0;
        uint16_t device = 0;
    } chips[(98 - 6) / 4];  // as many as a 98-byte reply can carry
};

class TCmd {
public:
    static constexpr int kAttempts = 3;

    explicit TCmd(TSLK* slk);

    // One transaction, up to `attempts` attempts with the same id; 0 with the reply body in
    // `reply`, or -1200 when no matching reply came.
    [[nodiscard]] TResult IssueCmd(uint8_t command, const uint8_t* body, uint16_t bodyLength,
                                   uint8_t replyType, uint8_t* reply, uint16_t replyMax,
                                   uint32_t timeoutMs, uint16_t* replySize = nullptr,
                                   int attempts = kAttempts);

    [[nodiscard]] TResult GetVersion(uint16_t* version, uint16_t* second, int attempts = kAttempts);
    [[nodiscard]] TResult WriteRAM(uint32_t address, const uint8_t* data, uint16_t count);
    [[nodiscard]] TResult GetChipList(ChipListReply* reply);
    [[nodiscard]] TResult EraseBlock(uint32_t address);
    [[nodiscard]] TResult ProgramFlash(uint32_t blockAddress, uint32_t address, const uint8_t* data,
                                       uint16_t count);
    [[nodiscard]] TResult ReadMemory(uint32_t address, uint8_t* buffer, uint16_t count);
    [[nodiscard]] TResult Leave();
    [[nodiscard]] TResult SetLineSpeed(uint32_t bitsPerSecond);
    [[nodiscard]] TResult RangeChecksum(uint32_t address, uint32_t length, uint16_t* checksum);
    [[nodiscard]] TResult BatteryPercent(uint8_t* percent);
    [[nodiscard]] TResult HardwareId(uint16_t* id);
    [[nodiscard]] TResult FindFreeChunk(uint32_t start, uint32_t* address);

    uint8_t TransactionId() const { return id_; }

private:
    // IssueCmd with the body in request_ and the reply type 0x80 + command; reply bytes the
    // loader left out read as zeros.
    [[nodiscard]] TResult Transact(const LoaderCommandInfo& command, uint16_t dataBytes,
                                   uint8_t* reply, uint16_t replyMax, int attempts = kAttempts);

    uint8_t request_[6144];
    uint8_t id_ = 0;
    TSLK* slk_;
};
