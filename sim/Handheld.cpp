#include "sim/Handheld.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/Crc16.h"
#include "link/Commands.h"

namespace {

// The largest body the handheld takes: a 4096-byte program request with its 11 bytes of
// fields fits with room to spare.
constexpr size_t kMaxRequestBody = 6144;
// A checksum over more than this is no range of this handheld; it would only stall the line.
constexpr uint32_t kMostChecksummed = 64u << 20;

constexpr uint8_t kEntryMark[] = {0xFA, 0xAB, 0xF0, 0x0D};

// The ROM debugger's bodies, after the command and filler bytes.
namespace dbg {
constexpr uint8_t kReplyFlag = 0x80;
constexpr size_t kWriteAddressAt = 2;
constexpr size_t kWriteCountAt = 6;
constexpr size_t kWriteDataAt = 8;
constexpr size_t kEntryAt = 16;
}  // namespace dbg

// The RAM store begins 256 KiB into RAM; the desktop erases it by writing its first 4 KiB
// blank (0xFF), three times over, which leaves no store for the OS to find.
namespace ram_store {
constexpr uint32_t kOffset = 0x40000;
constexpr uint32_t kBlankBytes = 4096;
}  // namespace ram_store

// The flash store's control block lies on the 4 KiB page the OS's reset vector points into,
// when the vector points past the ROM itself. Its chip count reads 0xFFFF until the store is
// set up; the desktop's finalisation writes it.
namespace flash_store {
constexpr uint32_t kResetVectorOffset = 0x8004;
constexpr uint32_t kLowestVector = 0x10C10000;
constexpr uint32_t kPage = 0x1000;
constexpr uint32_t kChipCountAt = 52;
constexpr uint16_t kBlankChipCount = 0xFFFF;
}  // namespace flash_store

bool Overlap(uint64_t a, uint64_t na, uint64_t b, uint64_t nb) {
    return na != 0 && nb != 0 && a < b + nb && b < a + na;
}

bool IsFreeChunkWord(const uint8_t* p) { return p[1] == 0xFF && p[2] == 0xFF && p[3] == 0xFF; }

}  // namespace

Handheld::Handheld(const HandheldConfig& config)
    : config_(config), memory_(config), receiver_(kMaxRequestBody), random_(config.faults.seed) {}

void Handheld::Reset(HandheldMode mode) {
    config_.mode = mode;
    config_.lineSpeed = kResetLineSpeed;
    pendingSpeed_ = 0;
    receiver_.Clear();
    Trace("reset into %s", ModeName(mode));
}

bool Handheld::Roll(double fraction) {
    if (fraction <= 0) return false;
    // 53 random bits as a fraction in [0, 1): the same on every platform for one seed.
    const double draw = static_cast<double>(random_() >> 11) * 0x1.0p-53;
    return draw < fraction;
}

void Handheld::Receive(const uint8_t* data, size_t count, uint64_t nowNs) {
    const FaultConfig& faults = config_.faults;
    for (size_t i = 0; i < count; ++i) {
        uint8_t byte = data[i];
        if (Roll(faults.dropIn)) continue;
        if (Roll(faults.corruptIn)) byte ^= static_cast<uint8_t>(1 + random_() % 255);
        receiver_.Feed(byte, nowNs, arrived_);
        for (const Packet& packet : arrived_) Handle(packet, nowNs);
        arrived_.clear();
    }
}

bool Handheld::TakeTransmission(Transmission& transmission) {
    if (outgoing_.empty()) return false;
    transmission = std::move(outgoing_.front());
    outgoing_.pop_front();
    return true;
}

void Handheld::Handle(const Packet& packet, uint64_t nowNs) {
    if (lineDead_) return;
    ++packetsReceived_;
    Trace("<- type 0x%02X id %u body %zu (%s)", packet.type, packet.id, packet.body.size(),
          ModeName(config_.mode));
    std::vector<uint8_t> reply;
    bool answer = false;
    uint8_t replyType = 0;
    switch (config_.mode) {
        case HandheldMode::RomDebugger:
            answer = HandleDebugger(packet, reply);
            replyType = debugger::kPacketType;
            break;
        case HandheldMode::Loader:
            if (config_.faults.silentLoader) break;
            answer = HandleLoader(packet, reply);
            replyType = static_cast<uint8_t>(loader::kReplyBit + packet.type);
            break;
        case HandheldMode::Os: break;
    }
    if (answer) Send(replyType, packet.id, reply, nowNs);
    if (pendingSpeed_ != 0) {
        // The reply has gone out at the old speed; from now on the handheld uses the new one.
        config_.lineSpeed = pendingSpeed_;
        pendingSpeed_ = 0;
    }
    if (config_.faults.hangUpAfterPackets != 0 &&
        packetsReceived_ >= config_.faults.hangUpAfterPackets) {
        lineDead_ = true;
        Trace("line dead after %u packets", packetsReceived_);
    }
}

bool Handheld::HandleDebugger(const Packet& packet, std::vector<uint8_t>& reply) {
    const std::vector<uint8_t>& body = packet.body;
    if (packet.type != debugger::kPacketType || body.empty()) return false;
    const uint8_t command = body[0];
    if (command == debugger::State) {
        reply = {dbg::kReplyFlag | debugger::State, 0};
        return true;
    }
    if (command == debugger::WriteMemory) {
        if (body.size() < dbg::kWriteDataAt) return false;
        const uint32_t address = GetBe32(&body[dbg::kWriteAddressAt]);
        const uint16_t count = GetBe16(&body[dbg::kWriteCountAt]);
        if (body.size() < dbg::kWriteDataAt + count) {
            Trace("debugger write of %u bytes carries only %zu", count,
                  body.size() - dbg::kWriteDataAt);
            return false;
        }
        memory_.WriteRam(address, &body[dbg::kWriteDataAt], count);
        reply = {dbg::kReplyFlag | debugger::WriteMemory, 0};
        return true;
    }
    if (command == debugger::Execute) {
        if (body.size() < dbg::kEntryAt + 4) return false;
        const uint32_t entry = GetBe32(&body[dbg::kEntryAt]);
        uint8_t mark[sizeof kEntryMark];
        memory_.Read(entry - 4, mark, sizeof mark);
        if (std::equal(mark, mark + sizeof mark, kEntryMark)) {
            config_.mode = HandheldMode::Loader;
            Trace("loader started at 0x%08X", entry);
            return false;  // the debugger is gone: nothing answers the execute command
        }
        Trace("execute at 0x%08X: no loader entry mark there", entry);
        reply = {dbg::kReplyFlag | debugger::Execute, 0};
        return true;
    }
    return false;
}

bool Handheld::HandleLoader(const Packet& packet, std::vector<uint8_t>& reply) {
    const std::vector<uint8_t>& body = packet.body;
    auto needs = [&](size_t size) {
        if (body.size() >= size) return true;
        Trace("command %u: body of %zu bytes is too short", packet.type, body.size());
        return false;
    };
    switch (packet.type) {
        case loader::Version:
            PutBe16(reply, config_.loaderVersion);
            PutBe16(reply, config_.loaderWord2);
            return true;
        case loader::WriteRam: {
            if (!needs(6)) return false;
            const uint16_t count = GetBe16(&body[4]);
            if (!needs(6u + count)) return false;
            WriteRam(GetBe32(&body[0]), &body[6], count);
            return true;
        }
        case loader::ChipList:
            PutBe16(reply, static_cast<uint16_t>(config_.chips.size()));
            PutBe32(reply, config_.flashBase);
            for (const ChipCode& chip : config_.chips) {
                PutBe16(reply, chip.manufacturer);
                PutBe16(reply, chip.device);
            }
            return true;
        case loader::EraseBlock: {
            if (!needs(4)) return false;
            const uint32_t address = GetBe32(&body[0]);
            EraseBlock block{};
            const bool ok = memory_.FlashBlockAt(address, block);
            if (ok)
                memory_.EraseBlockContaining(address);
            else
                Trace("erase at 0x%08X: not in flash", address);
            PutBe16(reply, ok ? loader_status::kOk : loader_status::kEraseFailed);
            PutBe32(reply, ok ? block.start : address);
            return true;
        }
        case loader::ProgramFlash: {
            if (!needs(10)) return false;
            const uint32_t blockAddress = GetBe32(&body[0]);
            const uint32_t address = GetBe32(&body[4]);
            const uint16_t count = GetBe16(&body[8]);
            if (!needs(10u + count)) return false;
            EraseBlock block{};
            uint16_t status = loader_status::kOk;
            if (!memory_.InFlash(address, count) || !memory_.FlashBlockAt(address, block)) {
                Trace("program 0x%08X+%u: not in flash", address, count);
                status = loader_status::kWriteFailed;
            } else if (block.start != blockAddress) {
                // The chip takes its command sequence at the block's own address; anything
                // else leaves the part in the wrong state.
                Trace("program 0x%08X: block address 0x%08X, the block starts at 0x%08X", address,
                      blockAddress, block.start);
                status = loader_status::kWriteFailed;
            } else {
                ProgramFlash(address, &body[10], count);
            }
            PutBe16(reply, status);
            PutBe32(reply, address);
            return true;
        }
        case loader::ReadMemory: {
            if (!needs(6)) return false;
            const uint16_t count = GetBe16(&body[4]);
            reply.resize(count);
            memory_.Read(GetBe32(&body[0]), reply.data(), count);
            return true;
        }
        case loader::Leave:
            config_.mode = HandheldMode::Os;
            pendingSpeed_ = kResetLineSpeed;
            return true;
        case loader::LineSpeed: {
            if (!needs(4)) return false;
            const uint32_t speed = GetBe32(&body[0]);
            if (!IsSupportedLineSpeed(speed)) {
                Trace("line speed %u refused", speed);
                return false;
            }
            pendingSpeed_ = speed;
            return true;
        }
        case loader::Checksum: {
            if (!needs(8)) return false;
            uint32_t address = GetBe32(&body[0]);
            uint32_t length = GetBe32(&body[4]);
            if (length > kMostChecksummed) {
                Trace("checksum over %u bytes refused", length);
                return false;
            }
            uint16_t crc = 0;
            while (length > 0) {
                const uint8_t* bytes = nullptr;
                uint32_t run = memory_.Contiguous(address, bytes);
                if (run == 0) {
                    const uint8_t zero = 0;
                    crc = Crc16Update(crc, &zero, 1);
                    run = 1;
                } else {
                    run = std::min(run, length);
                    crc = Crc16Update(crc, bytes, run);
                }
                address += run;
                length -= run;
            }
            PutBe16(reply, crc);
            return true;
        }
        case loader::Battery: reply = {config_.battery, 0}; return true;
        case loader::HardwareId: PutBe16(reply, config_.hardwareId); return true;
        case loader::FindFreeChunk: {
            if (!needs(4)) return false;
            const uint32_t start = GetBe32(&body[0]);
            uint32_t address = (start + 3) & ~3u;
            uint32_t found = 0;
            const uint8_t* bytes = nullptr;
            const uint32_t run = address < start ? 0 : memory_.Contiguous(address, bytes);
            for (uint32_t at = 0; at + 4 <= run; at += 4) {
                if (IsFreeChunkWord(bytes + at)) {
                    found = address + at;
                    break;
                }
            }
            if (found == 0) Trace("no free chunk from 0x%08X", start);
            PutBe32(reply, found);
            return true;
        }
        default: Trace("command %u unknown", packet.type); return false;
    }
}

void Handheld::Send(uint8_t type, uint8_t id, const std::vector<uint8_t>& body, uint64_t nowNs) {
    Transmission transmission;
    transmission.lineSpeed = config_.lineSpeed;
    transmission.delayMs = config_.faults.delayMs;
    transmission.createdNs = nowNs;
    if (Roll(config_.faults.staleReplies)) {
        // A late answer to the previous transaction, as a slow loader would leave on the line.
        transmission.bytes = EncodePacket(type, static_cast<uint8_t>(id - 1), body);
    }
    const std::vector<uint8_t> packet = EncodePacket(type, id, body);
    transmission.bytes.insert(transmission.bytes.end(), packet.begin(), packet.end());
    Trace("-> type 0x%02X id %u body %zu%s", type, id, body.size(),
          packet.size() < transmission.bytes.size() ? " after a stale copy" : "");
    Degrade(transmission.bytes);
    outgoing_.push_back(std::move(transmission));
}

void Handheld::Degrade(std::vector<uint8_t>& bytes) {
    const FaultConfig& faults = config_.faults;
    if (faults.dropOut <= 0 && faults.corruptOut <= 0) return;
    std::vector<uint8_t> kept;
    kept.reserve(bytes.size());
    for (uint8_t byte : bytes) {
        if (Roll(faults.dropOut)) continue;
        if (Roll(faults.corruptOut)) byte ^= static_cast<uint8_t>(1 + random_() % 255);
        kept.push_back(byte);
    }
    bytes = std::move(kept);
}

void Handheld::WriteRam(uint32_t address, const uint8_t* data, uint16_t count) {
    memory_.WriteRam(address, data, count);
    // RAM is seen at its base and, where that is not 0, at 0 as well.
    const uint32_t ramBase = memory_.RamBase();
    const bool touches =
        Overlap(address, count, uint64_t{ramBase} + ram_store::kOffset, ram_store::kBlankBytes) ||
        (ramBase != 0 && Overlap(address, count, ram_store::kOffset, ram_store::kBlankBytes));
    const std::vector<uint8_t>& ram = memory_.Ram();
    if (!touches || ram.size() < ram_store::kOffset + ram_store::kBlankBytes) return;
    const auto first = ram.begin() + ram_store::kOffset;
    if (std::all_of(first, first + ram_store::kBlankBytes, [](uint8_t b) { return b == 0xFF; }))
        Tell(StoreEvent::RamStoreErased);
}

bool Handheld::StoreChipCountAddress(uint32_t& address) const {
    uint8_t vector[4];
    memory_.Read(memory_.FlashBase() + flash_store::kResetVectorOffset, vector, sizeof vector);
    const uint32_t target = GetBe32(vector);
    if (target < flash_store::kLowestVector) return false;
    address = (target & ~(flash_store::kPage - 1)) + flash_store::kChipCountAt;
    return memory_.InFlash(address, 2);
}

void Handheld::ProgramFlash(uint32_t address, const uint8_t* data, uint16_t count) {
    uint32_t chipCount = 0;
    const bool watched = StoreChipCountAddress(chipCount) && Overlap(address, count, chipCount, 2);
    auto read = [&] {
        uint8_t bytes[2];
        memory_.Read(chipCount, bytes, sizeof bytes);
        return GetBe16(bytes);
    };
    const bool wasBlank = watched && read() == flash_store::kBlankChipCount;
    memory_.Program(address, data, count);
    if (wasBlank && read() != flash_store::kBlankChipCount) Tell(StoreEvent::FlashStoreFinalised);
}

void Handheld::Tell(StoreEvent event) {
    Trace("%s", event == StoreEvent::RamStoreErased
                    ? "RAM store erased"
                    : "flash store set up afresh: the databases added to it are gone");
    if (storeListener_) storeListener_(event);
}

void Handheld::Trace(const char* format, ...) const {
    if (!trace_) return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    trace_(line);
}
