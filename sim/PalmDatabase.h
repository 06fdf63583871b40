// A Palm database file as the handheld and the desktop exchange it: a record database (.PDB)
// or a resource database (.PRC). Everything a file holds is kept, the bytes between the entry
// list and the first block and those after a name's NUL included, so a file read and written
// again is the same byte for byte. A damaged file is refused with what is wrong with it; the
// reader never looks outside the bytes it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palmdb {

constexpr size_t kHeaderSize = 78;
constexpr size_t kNameSize = 32;
constexpr size_t kRecordEntrySize = 8;
constexpr size_t kResourceEntrySize = 10;
// The file's dates count seconds from 1904-01-01, the desktop's from 1970-01-01.
constexpr uint32_t kSeconds1904To1970 = 2082844800u;
// More than any handheld holds: a larger file is no database of one.
constexpr size_t kMostFileBytes = 64u << 20;

// Database attributes (the header's, and a database entry's flags).
constexpr uint16_t kResourceDatabase = 0x0001;
constexpr uint16_t kReadOnly = 0x0002;
constexpr uint16_t kOpen = 0x8000;
// A record's attribute byte: its category in the low four bits.
constexpr uint8_t kCategoryMask = 0x0F;
constexpr uint32_t kMostUniqueId = 0xFFFFFF;

// A four-character code ("appl") as the 32-bit number the file holds big-endian.
constexpr uint32_t FourCc(const char (&code)[5]) {
    return (uint32_t{static_cast<uint8_t>(code[0])} << 24) |
           (uint32_t{static_cast<uint8_t>(code[1])} << 16) |
           (uint32_t{static_cast<uint8_t>(code[2])} << 8) | uint32_t{static_cast<uint8_t>(code[3])};
}
// Its four characters, any that is not printable ASCII as \xNN.
std::string FourCcText(uint32_t code);
// "appl" from text of exactly four characters.
bool ParseFourCc(std::string_view text, uint32_t& code);

}  // namespace palmdb

struct PalmRecord {
    uint8_t attributes = 0;  // attribute bits and category, as the file holds them
    uint32_t uniqueId = 0;   // 24 bits
    std::vector<uint8_t> data;
};

struct PalmResource {
    uint32_t type = 0;
    uint16_t id = 0;
    std::vector<uint8_t> data;
};

struct PalmDatabase {
    std::array<uint8_t, palmdb::kNameSize> nameField{};  // as the file holds it
    uint16_t attributes = 0;
    uint16_t version = 0;
    uint32_t creationDate = 0;  // seconds since 1904-01-01; 0 where never
    uint32_t modificationDate = 0;
    uint32_t backupDate = 0;
    uint32_t modificationNumber = 0;
    uint32_t type = 0;
    uint32_t creator = 0;
    uint32_t uniqueIdSeed = 0;
    uint32_t nextRecordList = 0;
    // The bytes between the entry list and the first block: two zero bytes in a file that
    // keeps to the custom.
    std::vector<uint8_t> gap = {0, 0};
    std::optional<std::vector<uint8_t>> appInfo;
    std::optional<std::vector<uint8_t>> sortInfo;
    std::vector<PalmRecord> records;      // a record database's
    std::vector<PalmResource> resources;  // a resource database's

    bool IsResourceDatabase() const { return (attributes & palmdb::kResourceDatabase) != 0; }
    // The name up to its NUL; all 32 bytes when there is none.
    std::string Name() const;
    // Fills the name field with `name` and zero bytes. A name longer than 32 bytes or holding
    // a NUL cannot be stored and is refused.
    bool SetName(std::string_view name);
    size_t EntryCount() const { return IsResourceDatabase() ? resources.size() : records.size(); }
};

// Reads a whole file. `notes`, when given, receives a line for each oddity that does not stop
// the file being read (a name without its NUL, a gap that is not the two zero bytes, a
// further record list the file cannot hold).
bool ReadPalmDatabase(const uint8_t* data, size_t size, PalmDatabase& database, std::string& error,
                      std::vector<std::string>* notes = nullptr);
// Lays the database out: header, entry list, gap, AppInfo, SortInfo, then the records' or
// resources' data in order. Refuses what the format cannot hold (more than 65535 entries, a
// unique ID over 24 bits, records in a resource database or the reverse, a file larger than
// the reader takes).
bool WritePalmDatabase(const PalmDatabase& database, std::vector<uint8_t>& out, std::string& error);
