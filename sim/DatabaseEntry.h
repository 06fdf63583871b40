// The description of one database as the HotSync side lists a handheld's databases (name,
// flags, type, creator, version, modification number, dates, record count), made from the
// database's file, and its 78-byte form with every number in the desktop's (little-endian)
// order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/PalmDatabase.h"

struct DatabaseEntry {
    uint32_t card = 0;
    uint16_t flags = 0;  // the file's attributes: palmdb::kResourceDatabase, kReadOnly, kOpen
    uint32_t type = 0;   // four-character codes as numbers ('appl' is 0x6170706C)
    std::string name;
    uint32_t creator = 0;
    uint16_t version = 0;
    uint32_t modificationNumber = 0;
    uint16_t index = 0;
    uint32_t creationDate = 0;  // seconds since 1970-01-01; 0 when unknown
    uint32_t modificationDate = 0;
    uint32_t backupDate = 0;
    uint32_t miscFlags = 0;
    uint32_t recordCount = 0;
};

constexpr size_t kDatabaseEntrySize = 78;

// The entry of `database`, the `index`th of its list on `card`. A file date of 0 stays 0
// (unknown), and so does one before 1970, which the entry cannot count.
DatabaseEntry EntryOf(const PalmDatabase& database, uint16_t index, uint32_t card = 0);
// The 78-byte form. A name of 32 characters keeps its first 31, so that the field always ends
// in a NUL for whoever reads it as a C string.
std::array<uint8_t, kDatabaseEntrySize> PackDatabaseEntry(const DatabaseEntry& entry);
