// Byte layouts that HotSync Manager and its conduits exchange, written once for the backup
// conduit and for the HotSync world's stand-ins. Numbers are in the desktop's order
// (little-endian) unless a field says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

// A database as the Sync Manager lists it: 78 bytes.
namespace dbentry {
constexpr size_t kSize = 78;
constexpr size_t kCard = 0;   // u32
constexpr size_t kFlags = 4;  // u16: 0x0001 resource database, 0x0002 read-only, 0x8000 open
constexpr size_t kType = 6;   // four-character code as a u32 ('appl' is 0x6170706C)
constexpr size_t kName = 10;  // NUL-terminated
constexpr size_t kNameSize = 32;
constexpr size_t kCreator = 42;
constexpr size_t kVersion = 46;             // u16
constexpr size_t kModificationNumber = 48;  // u32
constexpr size_t kIndex = 52;               // u16
constexpr size_t kCreationDate = 54;        // u32, seconds since 1970-01-01, 0 = unknown
constexpr size_t kModificationDate = 58;
constexpr size_t kBackupDate = 62;
constexpr size_t kMiscFlags = 66;  // u32: 0x80 = excluded from modem HotSync
constexpr size_t kRecordCount = 70;
constexpr size_t kReserved = 74;
}  // namespace dbentry

// The sync properties HotSync Manager gives a conduit's OpenConduit.
namespace syncprops {
constexpr size_t kSize = 1024;   // what the stand-in hands out, zero-filled
constexpr size_t kSyncType = 0;  // u32: 6 do nothing, 3 desktop overwrites handheld
constexpr size_t kPathName = 4;  // the user's backup folder, ending in a backslash
constexpr size_t kPathNameSize = 256;
constexpr size_t kConnectionType = 930;  // u32: 1 = a modem HotSync
constexpr uint32_t kSyncTypeDoNothing = 6;
constexpr uint32_t kSyncTypeDesktopOverwrites = 3;
constexpr uint32_t kModemConnection = 1;
}  // namespace syncprops
