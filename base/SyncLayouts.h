// Byte layouts that HotSync Manager and its conduits exchange, written once for the backup
// conduit and for the HotSync world's stand-ins. Numbers are in the desktop's order
// (little-endian) unless a field says otherwise. These are byte formats: the same on every
// machine the code is built for. The records that hold pointers are in base/SyncApi.h.
#pragma once

#include <cstddef>
#include <cstdint>

// A database as the Sync Manager lists it: 78 bytes.
namespace dbentry {
constexpr size_t kSize = 78;
constexpr size_t kCard = 0;   // u32
constexpr size_t kFlags = 4;  // u16: 0x0001 resource database, 0x0002 read-only, 0x8000 open
constexpr size_t kType = 6;   // four-character code as a u32 ('appl' is 0x6170706C)
constexpr size_t kName = 10;  // NUL-terminated unless all 32 bytes are the name
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

constexpr uint16_t kResourceDatabase = 0x0001;
constexpr uint16_t kReadOnly = 0x0002;
constexpr uint16_t kOpen = 0x8000;
constexpr uint32_t kExcludedFromModemSync = 0x80;
}  // namespace dbentry

// The user information the Sync Manager reads from the handheld: the user's name and its
// length; a length of 0 means the handheld has no user (its RAM store was erased).
namespace userinfo {
constexpr size_t kSize = 72;
constexpr size_t kName = 0;  // 64 bytes, NUL-terminated
constexpr size_t kNameSize = 64;
constexpr size_t kNameLength = 64;    // u32: characters of the name, its NUL not counted
constexpr size_t kLastSyncDate = 68;  // u32, seconds since 1970-01-01
}  // namespace userinfo

// A memory card of the handheld: 93 bytes.
namespace cardinfo {
constexpr size_t kSize = 93;
constexpr size_t kCardNumber = 0;    // u8
constexpr size_t kCardVersion = 1;   // u16
constexpr size_t kCreationDate = 3;  // u32, seconds since 1970-01-01
constexpr size_t kRomSize = 7;       // u32, bytes
constexpr size_t kRamSize = 11;      // u32
constexpr size_t kFreeRam = 15;      // u32
constexpr size_t kName = 19;         // 32 bytes, NUL-terminated
constexpr size_t kNameSize = 32;
constexpr size_t kManufacturer = 51;  // 32 bytes, NUL-terminated
constexpr size_t kManufacturerSize = 32;
constexpr size_t kRomDatabases = 83;  // u16: databases in the flash ROM
constexpr size_t kRamDatabases = 85;  // u16: databases in RAM
constexpr size_t kReserved = 87;      // 6 bytes
}  // namespace cardinfo

// The sync properties HotSync Manager gives a conduit's OpenConduit.
namespace syncprops {
constexpr size_t kSize = 1024;   // what the stand-in hands out, zero-filled
constexpr size_t kSyncType = 0;  // u32: 6 do nothing, 3 desktop overwrites handheld
constexpr size_t kPathName = 4;  // the user's backup folder, ending in a backslash
constexpr size_t kPathNameSize = 256;
constexpr size_t kConnectionType = 930;  // u32: 1 = a modem HotSync
constexpr uint32_t kSyncTypeHandheldOverwrites = 2;
constexpr uint32_t kSyncTypeDesktopOverwrites = 3;
constexpr uint32_t kSyncTypeDoNothing = 6;
constexpr uint32_t kModemConnection = 1;
}  // namespace syncprops

// The sync preference record HotSync Manager gives a conduit's ConfigureConduit; only these
// fields are read or written.
namespace syncprefs {
constexpr size_t kSize = 524;
constexpr size_t kPermanence = 516;  // u32: 1 permanent, 2 this HotSync only
constexpr size_t kSyncType = 520;    // u32, numbered as syncprops
constexpr uint32_t kPermanent = 1;
constexpr uint32_t kThisSyncOnly = 2;
}  // namespace syncprefs

// What the Sync Manager and the HotSync log answer, and the conduit's own results.
namespace syncerr {
constexpr int32_t kOk = 0;
constexpr int32_t kTransient = 0x10006410;  // try again: the handheld was busy
constexpr int32_t kNotFound = 0x4003;       // no such database, record or block
constexpr int32_t kConnectionLost = 0x4015;
constexpr int32_t kDesktopOutOfMemory = 0x4016;
constexpr int32_t kCancelled = 0x10004411;
// The conduit's own: the Sync Manager answered a size larger than the buffer it was given.
constexpr int32_t kBadAnswer = 0x4018;
constexpr int32_t kFatal = 0x10000000;  // the bit that ends a backup pass
}  // namespace syncerr

// The HotSync log's activities.
namespace logactivity {
constexpr int32_t kText = -1;
constexpr int32_t kStart = 19;    // a conduit's first line, time-stamped
constexpr int32_t kEndOk = 20;    // its last line after success
constexpr int32_t kEndFail = 21;  // its last line after a failure
constexpr int32_t kWarning = 22;
}  // namespace logactivity
