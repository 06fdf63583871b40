#include "base/SyncRecords.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"

using namespace byteorder;

namespace {

// A text field of `size` bytes: the text, cut to fit, then zero bytes. `keepNul` leaves room
// for a terminating NUL.
void PutText(uint8_t* field, size_t size, const std::string& text, bool keepNul) {
    std::memset(field, 0, size);
    std::copy_n(text.begin(), std::min(text.size(), keepNul ? size - 1 : size), field);
}

// A text field read up to its first NUL, never past its `size` bytes.
std::string GetText(const uint8_t* field, size_t size) {
    const auto* end = std::find(field, field + size, uint8_t{0});
    return std::string(field, end);
}

}  // namespace

std::array<uint8_t, dbentry::kSize> PackDatabaseEntry(const DatabaseEntry& entry) {
    namespace at = dbentry;
    std::array<uint8_t, at::kSize> bytes{};
    uint8_t* p = bytes.data();
    PutLE32(p + at::kCard, entry.card);
    PutLE16(p + at::kFlags, entry.flags);
    PutLE32(p + at::kType, entry.type);
    PutText(p + at::kName, at::kNameSize, entry.name, false);
    PutLE32(p + at::kCreator, entry.creator);
    PutLE16(p + at::kVersion, entry.version);
    PutLE32(p + at::kModificationNumber, entry.modificationNumber);
    PutLE16(p + at::kIndex, entry.index);
    PutLE32(p + at::kCreationDate, entry.creationDate);
    PutLE32(p + at::kModificationDate, entry.modificationDate);
    PutLE32(p + at::kBackupDate, entry.backupDate);
    PutLE32(p + at::kMiscFlags, entry.miscFlags);
    PutLE32(p + at::kRecordCount, entry.recordCount);
    return bytes;
}

DatabaseEntry UnpackDatabaseEntry(const uint8_t* p) {
    namespace at = dbentry;
    DatabaseEntry entry;
    entry.card = GetLE32(p + at::kCard);
    entry.flags = GetLE16(p + at::kFlags);
    entry.type = GetLE32(p + at::kType);
    entry.name = GetText(p + at::kName, at::kNameSize);
    entry.creator = GetLE32(p + at::kCreator);
    entry.version = GetLE16(p + at::kVersion);
    entry.modificationNumber = GetLE32(p + at::kModificationNumber);
    entry.index = GetLE16(p + at::kIndex);
    entry.creationDate = GetLE32(p + at::kCreationDate);
    entry.modificationDate = GetLE32(p + at::kModificationDate);
    entry.backupDate = GetLE32(p + at::kBackupDate);
    entry.miscFlags = GetLE32(p + at::kMiscFlags);
    entry.recordCount = GetLE32(p + at::kRecordCount);
    return entry;
}

std::array<uint8_t, userinfo::kSize> PackUserInfo(const SyncUserInfo& user) {
    std::array<uint8_t, userinfo::kSize> bytes{};
    PutText(bytes.data() + userinfo::kName, userinfo::kNameSize, user.name, true);
    PutLE32(bytes.data() + userinfo::kNameLength, user.nameLength);
    PutLE32(bytes.data() + userinfo::kLastSyncDate, user.lastSyncDate);
    return bytes;
}

SyncUserInfo UnpackUserInfo(const uint8_t* p) {
    SyncUserInfo user;
    user.name = GetText(p + userinfo::kName, userinfo::kNameSize);
    user.nameLength = GetLE32(p + userinfo::kNameLength);
    user.lastSyncDate = GetLE32(p + userinfo::kLastSyncDate);
    return user;
}

std::array<uint8_t, cardinfo::kSize> PackCardInfo(const SyncCardInfo& card) {
    namespace at = cardinfo;
    std::array<uint8_t, at::kSize> bytes{};
    uint8_t* p = bytes.data();
    p[at::kCardNumber] = card.cardNumber;
    PutLE16(p + at::kCardVersion, card.version);
    PutLE32(p + at::kCreationDate, card.creationDate);
    PutLE32(p + at::kRomSize, card.romSize);
    PutLE32(p + at::kRamSize, card.ramSize);
    PutLE32(p + at::kFreeRam, card.freeRam);
    PutText(p + at::kName, at::kNameSize, card.name, true);
    PutText(p + at::kManufacturer, at::kManufacturerSize, card.manufacturer, true);
    PutLE16(p + at::kRomDatabases, card.romDatabases);
    PutLE16(p + at::kRamDatabases, card.ramDatabases);
    return bytes;
}

SyncCardInfo UnpackCardInfo(const uint8_t* p) {
    namespace at = cardinfo;
    SyncCardInfo card;
    card.cardNumber = p[at::kCardNumber];
    card.version = GetLE16(p + at::kCardVersion);
    card.creationDate = GetLE32(p + at::kCreationDate);
    card.romSize = GetLE32(p + at::kRomSize);
    card.ramSize = GetLE32(p + at::kRamSize);
    card.freeRam = GetLE32(p + at::kFreeRam);
    card.name = GetText(p + at::kName, at::kNameSize);
    card.manufacturer = GetText(p + at::kManufacturer, at::kManufacturerSize);
    card.romDatabases = GetLE16(p + at::kRomDatabases);
    card.ramDatabases = GetLE16(p + at::kRamDatabases);
    return card;
}
