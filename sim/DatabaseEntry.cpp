#include "sim/DatabaseEntry.h"

#include <algorithm>

#include "base/SyncLayouts.h"

namespace {

// The 78-byte entry's fields, as the conduit reads them.
namespace at = dbentry;
static_assert(at::kSize == kDatabaseEntrySize);

uint32_t ToUnixDate(uint32_t date1904) {
    return date1904 < palmdb::kSeconds1904To1970 ? 0 : date1904 - palmdb::kSeconds1904To1970;
}

void PutLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

DatabaseEntry EntryOf(const PalmDatabase& database, uint16_t index, uint32_t card) {
    DatabaseEntry entry;
    entry.card = card;
    entry.flags = database.attributes;
    entry.type = database.type;
    entry.name = database.Name();
    entry.creator = database.creator;
    entry.version = database.version;
    entry.modificationNumber = database.modificationNumber;
    entry.index = index;
    entry.creationDate = ToUnixDate(database.creationDate);
    entry.modificationDate = ToUnixDate(database.modificationDate);
    entry.backupDate = ToUnixDate(database.backupDate);
    entry.recordCount = static_cast<uint32_t>(database.EntryCount());
    return entry;
}

std::array<uint8_t, kDatabaseEntrySize> PackDatabaseEntry(const DatabaseEntry& entry) {
    std::array<uint8_t, kDatabaseEntrySize> bytes{};
    uint8_t* p = bytes.data();
    PutLe32(p + at::kCard, entry.card);
    PutLe16(p + at::kFlags, entry.flags);
    PutLe32(p + at::kType, entry.type);
    std::copy_n(entry.name.begin(), std::min(entry.name.size(), at::kNameSize - 1), p + at::kName);
    PutLe32(p + at::kCreator, entry.creator);
    PutLe16(p + at::kVersion, entry.version);
    PutLe32(p + at::kModificationNumber, entry.modificationNumber);
    PutLe16(p + at::kIndex, entry.index);
    PutLe32(p + at::kCreationDate, entry.creationDate);
    PutLe32(p + at::kModificationDate, entry.modificationDate);
    PutLe32(p + at::kBackupDate, entry.backupDate);
    PutLe32(p + at::kMiscFlags, entry.miscFlags);
    PutLe32(p + at::kRecordCount, entry.recordCount);
    return bytes;
}
