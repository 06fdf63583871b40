#include "sim/DatabaseEntry.h"

namespace {

uint32_t ToUnixDate(uint32_t date1904) {
    return date1904 < palmdb::kSeconds1904To1970 ? 0 : date1904 - palmdb::kSeconds1904To1970;
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
