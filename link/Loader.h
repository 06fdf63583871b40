// The desktop's model of the handheld as the loader presents it: its flash chips and their
// erase blocks, its device type and RAM base. Reads, writes and flashes by flash offset (from
// the start of the first chip), erasing a block when a flash write starts on its boundary,
// and finalises the flash file-system structures that follow a freshly flashed OS.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/ResultCodes.h"
#include "link/Cmd.h"

struct ChipEntry {
    uint32_t start = 0;
    uint16_t manufacturer = 0;
    uint16_t device = 0;
    uint32_t size = 0;
};

struct ChipTable {
    uint16_t count = 0;
    ChipEntry chips[loader::kMaxChips];
};

// Fills `table` from the loader's chip list: the recognised chips in the order reported, up
// to the first one that is not recognised and at most as many as the table holds, laid end
// to end from the reported base. 0, or -4002 when the first chip is not recognised.
[[nodiscard]] TResult FillChipTable(ChipTable& table, const ChipListReply& reply);

// Where flash offsets lie, from the chip table alone.
namespace flashmap {
uint32_t Capacity(const ChipTable& table);
bool Contains(const ChipTable& table, uint32_t offset);
// Whether `offset` is in flash and the first byte of an erase block of its chip.
bool IsBlockStart(const ChipTable& table, uint32_t offset);
// The flash offset of the erase block that holds `offset` (`offset` must be in flash).
uint32_t BlockStart(const ChipTable& table, uint32_t offset);
// The flash offset of a handheld address, or 0 when the address lies above no offset.
uint32_t OffsetOf(const ChipTable& table, uint32_t address);
// Whether a handheld address lies in flash at all (an address at the base included).
bool AddressInFlash(const ChipTable& table, uint32_t address);
}  // namespace flashmap

// Reads `count` bytes of flash at flash offset `offset`: as the handheld holds them, or as it
// will hold them once an update is written.
using FlashReader = std::function<TResult(uint32_t offset, uint8_t* to, uint16_t count)>;

class TLoader {
public:
    explicit TLoader(TSLK* slk);

    // Handshake: the loader's version and its second word.
    [[nodiscard]] TResult Handshake(int attempts = TCmd::kAttempts);
    uint16_t LoaderVersion() const { return version_; }
    uint16_t LoaderSecondWord() const { return secondWord_; }

    [[nodiscard]] TResult BuildChipTable();
    const ChipTable& Chips() const { return chips_; }
    // The chips as the loader last reported them, the ones not recognised included.
    const ChipListReply& LastChipList() const { return chipList_; }
    uint32_t FlashCapacity() const;
    uint32_t FlashBase() const { return chips_.chips[0].start; }

    // Hardware id → device type (0 when the query fails) and RAM base.
    [[nodiscard]] TResult QueryDeviceType(uint8_t* deviceType);
    [[nodiscard]] TResult RamBase(uint32_t* base);

    [[nodiscard]] TResult RB(uint32_t offset, uint8_t* buffer, uint16_t count);
    [[nodiscard]] TResult WB(uint32_t offset, const uint8_t* data, uint16_t count);
    [[nodiscard]] TResult FB(uint32_t offset, const uint8_t* data, uint16_t count);
    // The loader's checksum of a flash range; a result code on failure.
    [[nodiscard]] TResult RangeChecksum(uint32_t offset, uint32_t length, uint16_t* checksum);
    [[nodiscard]] TResult WriteRAM(uint32_t address, const uint8_t* data, uint16_t count);
    // The loader's checksum of a RAM range, by handheld address.
    [[nodiscard]] TResult RamChecksum(uint32_t address, uint32_t length, uint16_t* checksum);
    // Fills in the flash store behind a freshly flashed OS. Fields that already hold what
    // this update writes count as done, so an interrupted finalisation can be completed; a
    // store holding anything else is refused with -1. Every word written is read back: one
    // that did not take is -309, which a rerun completes.
    [[nodiscard]] TResult FinaliseFlashStore();
    // Whether FinaliseFlashStore will find what it needs in the flash `read` shows (the
    // handheld's with the update's OS laid over it), without writing: 0; -4003 when the OS's
    // reset vector points outside flash; -4004 when the store it names lies outside flash;
    // -1 when the store holds what this update would not write. The free chunk, which only
    // the loader finds, is left to the finalisation.
    [[nodiscard]] TResult CheckFlashStore(const FlashReader& read);

    // Whether `offset` is in flash and starts an erase block of its chip.
    bool InFlash(uint32_t offset) const;
    bool IsBlockStart(uint32_t offset) const;

    TCmd* Cmd() const { return cmd_.get(); }

private:
    struct StorePlan;
    // What the finalisation of the flash `read` shows will write, and whether it can.
    [[nodiscard]] TResult PlanFlashStore(const FlashReader& read, StorePlan& plan);
    // WB, then RB to see that the bytes took.
    [[nodiscard]] TResult WriteChecked(uint32_t offset, const uint8_t* data, uint16_t count);
    // Whether the words from flash offset `from` up to the free chunk the loader found hold a
    // chunk header as the finaliser writes it.
    [[nodiscard]] TResult FindWrittenChunk(uint32_t from, uint32_t freeChunk, bool& written);
    // The program-flash command for `offset`, inside the erase block that holds it.
    [[nodiscard]] TResult Program(uint32_t offset, const uint8_t* data, uint16_t count);

    // The handshake's two words, as they stand before a loader has answered.
    uint16_t version_ = 1;
    uint16_t secondWord_ = 51;
    std::unique_ptr<TCmd> cmd_;
    ChipTable chips_;
    ChipListReply chipList_;
};
