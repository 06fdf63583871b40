// The Sync Manager's side of a HotSync on the virtual handheld: what sync20.dll answers a
// conduit, call by call, in the byte records and codes of base/SyncApi.h and
// base/SyncLayouts.h. It reads the handheld's state directory and writes to it only what the
// handheld itself keeps (a database's backup date, a deleted database), and it plays the
// faults a test asks for (World.h). Portable: sync20.dll only binds the exports to it.
//
// The handheld as a conduit sees it:
// - card 0 alone; its RAM list is ram/, its flash ROM list is rom/ followed by rom-added/,
//   each in file-name order, a database's index being its place in its list; a folder's
//   later file of a name already listed is no second database, as a card holds one of a name;
// - the lists are read at the first call that needs them and kept for the HotSync, as a
//   handheld's do not change while it syncs but by what the conduit asks;
// - a name in both memories opens the RAM's, which the handheld finds first;
// - a record database opened without syncopen::kShowSecret hides its private records;
// - no record, resource or AppInfo block is larger than the largest record size it answers:
//   kMostRecordSize, or the largest block on the handheld where one is larger.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/SyncApi.h"
#include "base/SyncLayouts.h"
#include "sim/HandheldStore.h"

// The stand-in's own answers besides syncerr's. None carries syncerr::kFatal: each loses a
// conduit at most the database it was working on.
namespace syncanswer {
constexpr int32_t kNotRegistered = 0x4001;         // no conduit registered (sync20.dll's)
constexpr int32_t kBadArgument = 0x4002;           // a pointer missing, a mode without kRead, ...
constexpr int32_t kNotFound = syncerr::kNotFound;  // database, card, index or AppInfo block
constexpr int32_t kBadHandle = 0x4004;             // no database open under that handle
constexpr int32_t kTooManyOpen = 0x4005;           // kMostOpen databases already open
constexpr int32_t kBufferTooSmall = 0x4006;     // the buffer holds its first bytes; size says all
constexpr int32_t kReadOnly = 0x4007;           // a flash ROM database cannot be deleted
constexpr int32_t kInUse = 0x4008;              // an open database cannot be deleted
constexpr int32_t kUnreadable = 0x4009;         // the record the FaultBadRecord settings name
constexpr int32_t kHandheldFailed = 0x400A;     // the state directory could not be read or written
constexpr int32_t kAlreadyRegistered = 0x400B;  // a second conduit while one is registered
}  // namespace syncanswer

// Faults a test asks for (World.h says which setting asks for which).
struct SyncFaults {
    // The first this many handheld calls each answer syncerr::kTransient once, then answer.
    uint32_t transient = 0;
    // Opening this database loses the connection: that call and every handheld call after it
    // answer syncerr::kTransient.
    std::string lostAt;
    // Reading record or resource `badRecordIndex` of this database answers
    // syncanswer::kUnreadable.
    std::string badRecord;
    uint32_t badRecordIndex = 0;
    // Opening this database first fills the file system holding `backupFolder` (FillDisk).
    std::string diskFullAt;
    std::filesystem::path backupFolder;
};

// The file that fills the desktop's disk: below the backup folder, in the conduit's scratch
// folder, which every scan of the conduit passes over and its next run removes.
std::filesystem::path DiskFillerPath(const std::filesystem::path& backupFolder);
// Fills the file system at `backupFolder` with DiskFillerPath's file until a write fails.
// Refuses (false, `error` says why) a file system with more than kMostDiskFill bytes free: a
// test's small one is meant, never a real disk.
constexpr uint64_t kMostDiskFill = 256ull << 20;
bool FillDisk(const std::filesystem::path& backupFolder, std::string& error);

class SyncServer {
public:
    static constexpr uint32_t kMostRecordSize = 65505;
    static constexpr size_t kMostOpen = 32;

    // `now` gives seconds since 1970-01-01 (a database's backup date); by default the clock's.
    SyncServer(HandheldStore& store, SyncFaults faults = {}, std::function<uint32_t()> now = {});

    // Each answers 0 or a code; the records are those of base/SyncApi.h's calls.
    int32_t ReadUserInfo(uint8_t* userInfo);  // userinfo::kSize bytes
    int32_t ReadCardInfo(uint8_t* card);      // cardinfo::kSize bytes, the card number in
    int32_t ReadDatabaseList(uint8_t card, uint16_t start, uint16_t ramFlag, uint8_t* entries,
                             uint16_t* count);
    // Major version in the low 16 bits, minor above; 0 when handheld.conf cannot be read. Known
    // from the connection's start, so no fault touches it.
    int32_t HandheldOsVersion();
    int32_t OpenDatabase(const char* name, int32_t card, uint8_t* handle, uint8_t mode);
    int32_t MaxRecordSize(uint32_t* size);
    int32_t RecordCount(uint8_t handle, uint16_t* count);
    int32_t ReadAppInfo(uint8_t handle, SyncBlockRead* block);
    int32_t ReadRecord(SyncRecordRead* record);
    int32_t ReadResource(SyncResourceRead* resource);
    // options: kSyncCloseUpdateBackupDate or 0. The handle is free afterwards even when the
    // backup date could not be written.
    int32_t Close(uint8_t handle, uint8_t options);
    int32_t DeleteDatabase(const char* name, int32_t card);
    int32_t KeepAlive();

    // What went wrong beside the answers (a state directory that could not be read, a disk
    // that was not filled), for whoever wants to tell.
    const std::vector<std::string>& Problems() const { return problems_; }
    // The records, resources and AppInfo blocks handed over whole so far.
    uint32_t BlocksRead() const { return blocksRead_; }

private:
    struct Listed {
        bool ram = true;
        PalmDatabase database;
        uint64_t fileSize = 0;
        std::string fileName;  // within its folder
    };
    struct OpenDb {
        bool ram = true;
        PalmDatabase database;
        std::string fileName;
        std::vector<uint16_t> visible;  // the records a read by index sees, or every resource
    };

    int32_t Gate();  // the faults every handheld call meets first
    bool LoadLists();
    const std::vector<Listed>* List(bool ram);
    OpenDb* Opened(uint8_t handle);
    int32_t ReadBlock(const std::vector<uint8_t>& data, uint8_t* buffer, uint32_t bufferSize,
                      uint32_t& size);
    void Problem(const std::string& text) { problems_.push_back(text); }

    HandheldStore& store_;
    SyncFaults faults_;
    std::function<uint32_t()> now_;
    uint32_t blocksRead_ = 0;
    uint32_t busyCalls_ = 0;
    bool turnedAway_ = false;
    bool lost_ = false;
    bool diskFilled_ = false;
    bool listsLoaded_ = false;
    std::vector<Listed> ram_, rom_;
    uint32_t largestBlock_ = 0;
    std::map<uint8_t, OpenDb> open_;
    std::vector<std::string> problems_;
};
