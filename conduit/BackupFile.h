// One handheld database read through the Sync Manager and written as one desktop file in the
// Palm database file format (".PRC" for a resource database, ".PDB" for a record database),
// and the header fields read back from such a file. Every record is read before anything is
// written; the file is then written whole beside its place and renamed over the previous
// backup, so a backup that fails at any point leaves the previous one as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/SyncRecords.h"

class BackupWindows;
class DesktopFiles;
class HotSyncLog;
class SyncCalls;

namespace backupfile {
constexpr size_t kHeaderSize = 78;
constexpr size_t kName = 0;  // 32 bytes
constexpr size_t kNameSize = 32;
constexpr size_t kAttributes = 32;    // u16
constexpr size_t kVersion = 34;       // u16
constexpr size_t kCreationDate = 36;  // u32, seconds since 1904-01-01
constexpr size_t kModificationDate = 40;
constexpr size_t kBackupDate = 44;
constexpr size_t kModificationNumber = 48;
constexpr size_t kAppInfoOffset = 52;
constexpr size_t kSortInfoOffset = 56;
constexpr size_t kType = 60;
constexpr size_t kCreator = 64;
constexpr size_t kUniqueIdSeed = 68;
constexpr size_t kNextRecordList = 72;
constexpr size_t kRecordCount = 76;        // u16
constexpr size_t kRecordEntrySize = 8;     // offset u32, attribute byte, unique ID (3 bytes)
constexpr size_t kResourceEntrySize = 10;  // type u32, ID u16, offset u32
constexpr size_t kGapSize = 2;             // the zero bytes after the entries
constexpr size_t kNameHeadSize = 36;       // what is read to learn a file's database name
// The file's dates count from 1904, the Sync Manager's from 1970.
constexpr uint32_t kSeconds1904To1970 = 2082844800u;

// Attribute bits the writer adjusts.
constexpr uint16_t kReadOnly = 0x0002;
constexpr uint16_t kOkToInstallNewer = 0x0010;
constexpr uint16_t kResetAfterInstall = 0x0020;
constexpr uint16_t kOpen = 0x8000;
// A record's attribute byte.
constexpr uint8_t kRecordArchived = 0x08;
constexpr uint8_t kRecordDeleted = 0x80;
}  // namespace backupfile

enum class BackupKind { Ram, FlashRom };

// What a backup file's header says of its database's dates.
struct BackupDates {
    uint32_t creation = 0;  // seconds since 1904-01-01
    uint32_t modification = 0;
};

// Reads `entry`'s database from card 0 and writes it to `path`. Answers 0, 1 when the
// desktop file cannot be made or written (the previous one is kept), syncerr::kDesktopOutOfMemory
// when the desktop's memory runs out, or the Sync Manager's code. Logs its warnings.
struct BackupWrite {
    SyncCalls& calls;
    HotSyncLog& log;
    DesktopFiles& files;
    BackupWindows& windows;
    uint16_t osMajorVersion = 3;
    uint32_t now = 0;  // seconds since 1970-01-01: an entry without a creation date gets it
};
int32_t WriteBackupFile(BackupWrite& write, const DatabaseEntry& entry, BackupKind kind,
                        const std::string& path);

// The dates of a backup file (the numbers through the Sync Manager's byte order); nullopt
// when it is absent or shorter than a header.
std::optional<BackupDates> ReadBackupDates(DesktopFiles& files, SyncCalls& calls,
                                           const std::string& path);
// The database name a backup file holds; nullopt when it cannot be read or is shorter than
// kNameHeadSize bytes.
std::optional<std::string> ReadBackupName(DesktopFiles& files, const std::string& path);

// How a backup file compares with a database entry: 1 no file (or a short one), 0 its dates
// match, otherwise 2 (modification dates differ) + 8 (creation dates differ). A date the entry
// does not know (0) is not compared.
int CopyState(DesktopFiles& files, SyncCalls& calls, const std::string& path,
              const DatabaseEntry& entry);
