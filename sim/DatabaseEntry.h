// The description of one database as the HotSync side lists a handheld's databases (name,
// flags, type, creator, version, modification number, dates, record count), made from the
// database's file. Its 78-byte form is base/SyncRecords.h's.
#pragma once

#include <cstdint>

#include "base/SyncRecords.h"
#include "sim/PalmDatabase.h"

// The entry of `database`, the `index`th of its list on `card`. A file date of 0 stays 0
// (unknown), and so does one before 1970, which the entry cannot count.
DatabaseEntry EntryOf(const PalmDatabase& database, uint16_t index, uint32_t card = 0);
