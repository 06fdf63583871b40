// What the backup conduit needs of HotSync Manager's libraries while it runs: the Sync
// Manager's calls on the handheld in the cradle, and the HotSync log. The Win32 binding
// (SyncManager_win32.cpp) calls sync20.dll and hslog20.dll and turns their byte records into
// these values, never reading or writing past the buffers it hands them whatever counts and
// sizes they answer; tests hand in a handheld kept in memory (tests/MemorySyncManager.h).
//
// Every call answers 0 or a code of syncerr (base/SyncLayouts.h). The conduit retries them as
// SyncCalls (conduit/SyncCalls.h) says.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/SyncRecords.h"

// What one record or resource read answered.
struct SyncRecordInfo {
    uint32_t size = 0;  // the record's own size; larger than the buffer: the read failed
    uint32_t uniqueId = 0;
    uint8_t attributes = 0;
    uint8_t category = 0;
    uint32_t type = 0;  // a resource's
    uint16_t id = 0;
};

class SyncManager {
public:
    virtual ~SyncManager() = default;

    virtual int32_t Register() = 0;
    virtual int32_t Unregister() = 0;
    virtual int32_t ReadUserInfo(SyncUserInfo& user) = 0;
    // Card 0's information.
    virtual int32_t ReadCardInfo(SyncCardInfo& card) = 0;
    // Up to `capacity` entries of card 0's RAM list (`ram`) or flash-ROM list, from the first.
    virtual int32_t ReadDatabaseList(bool ram, uint16_t capacity,
                                     std::vector<DatabaseEntry>& entries) = 0;
    // The handheld OS's major version.
    virtual uint16_t OsMajorVersion() = 0;

    virtual int32_t OpenDatabase(const std::string& name, uint8_t mode, uint8_t& handle) = 0;
    virtual int32_t MaxRecordSize(uint32_t& size) = 0;
    virtual int32_t RecordCount(uint8_t handle, uint16_t& count) = 0;
    // Reads into `buffer` (`capacity` bytes); syncerr::kNotFound when there is none.
    virtual int32_t ReadAppInfo(uint8_t handle, uint8_t* buffer, uint32_t capacity,
                                uint32_t& size) = 0;
    virtual int32_t ReadRecord(uint8_t handle, uint16_t index, uint8_t* buffer, uint32_t capacity,
                               SyncRecordInfo& info) = 0;
    virtual int32_t ReadResource(uint8_t handle, uint16_t index, uint8_t* buffer, uint32_t capacity,
                                 SyncRecordInfo& info) = 0;
    // The plain close, and the one after which the handheld keeps the backup date.
    virtual int32_t CloseDatabase(uint8_t handle) = 0;
    virtual int32_t CloseDatabaseUpdatingBackupDate(uint8_t handle) = 0;
    // Removes a database from card 0.
    virtual int32_t DeleteDatabase(const std::string& name) = 0;
    // Keeps the HotSync connection alive during long desktop work.
    virtual void KeepAlive() = 0;

    // The handheld's byte order (big-endian) from the desktop's and back.
    virtual uint16_t HostToHandheld16(uint16_t value) = 0;
    virtual uint32_t HostToHandheld32(uint32_t value) = 0;
    virtual uint32_t HandheldToHost32(uint32_t value) = 0;
};

// The HotSync log: one entry, of an activity of logactivity, time-stamped or not.
class HotSyncLog {
public:
    virtual ~HotSyncLog() = default;
    virtual void Add(int32_t activity, bool timestamp, const std::string& text) = 0;
};

// The Win32 bindings to sync20.dll and hslog20.dll (Windows builds only).
std::unique_ptr<SyncManager> MakeSyncManager();
std::unique_ptr<HotSyncLog> MakeHotSyncLog();
