// The records the Sync Manager hands a conduit, as values, and their byte forms
// (base/SyncLayouts.h): a database entry, the user information and a card's information. The
// readers take exactly the bytes of the layout and never look past them, whatever the fields
// say; the writers fill every byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/SyncLayouts.h"

struct DatabaseEntry {
    uint32_t card = 0;
    uint16_t flags = 0;  // dbentry::kResourceDatabase, kReadOnly, kOpen
    uint32_t type = 0;   // four-character codes as numbers ('appl' is 0x6170706C)
    std::string name;    // at most 32 characters
    uint32_t creator = 0;
    uint16_t version = 0;
    uint32_t modificationNumber = 0;
    uint16_t index = 0;
    uint32_t creationDate = 0;  // seconds since 1970-01-01; 0 when unknown
    uint32_t modificationDate = 0;
    uint32_t backupDate = 0;
    uint32_t miscFlags = 0;
    uint32_t recordCount = 0;

    bool IsResourceDatabase() const { return (flags & dbentry::kResourceDatabase) != 0; }
    bool operator==(const DatabaseEntry&) const = default;
};

// A 32-character name fills its field without a NUL, as a database file's header holds it.
std::array<uint8_t, dbentry::kSize> PackDatabaseEntry(const DatabaseEntry& entry);
DatabaseEntry UnpackDatabaseEntry(const uint8_t* bytes);

struct SyncUserInfo {
    std::string name;         // at most 63 characters
    uint32_t nameLength = 0;  // as the handheld reports it; 0: no user
    uint32_t lastSyncDate = 0;
};
std::array<uint8_t, userinfo::kSize> PackUserInfo(const SyncUserInfo& user);
SyncUserInfo UnpackUserInfo(const uint8_t* bytes);

struct SyncCardInfo {
    uint8_t cardNumber = 0;
    uint16_t version = 0;
    uint32_t creationDate = 0;
    uint32_t romSize = 0, ramSize = 0, freeRam = 0;
    std::string name, manufacturer;  // at most 31 characters each
    uint16_t romDatabases = 0, ramDatabases = 0;
};
std::array<uint8_t, cardinfo::kSize> PackCardInfo(const SyncCardInfo& card);
SyncCardInfo UnpackCardInfo(const uint8_t* bytes);
