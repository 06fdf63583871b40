// Test equipment: a handheld kept in memory, answering the Sync Manager's calls as the HotSync
// stand-in does on a real state directory, with the faults a test asks for, and counting what
// the conduit read.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/SyncLayouts.h"
#include "conduit/SyncManager.h"
#include "sim/DatabaseEntry.h"
#include "sim/PalmDatabase.h"

struct MemoryHandheld {
    std::vector<PalmDatabase> ram, rom;  // rom: the flash ROM's list, built-in and added
    std::map<std::string, uint32_t> miscFlags;
    std::string user = "Ann Tester";
    uint16_t osMajor = 3;
    uint32_t largestRecord = 4096;

    // Faults.
    int transientAnswers = 0;  // every call answers kTransient this many times first
    std::string lostAt;        // from this database's opening on, every call is transient
    std::string badRecordIn;   // reading record badRecordIndex of this database fails
    uint16_t badRecordIndex = 0;
    int32_t badRecordCode = 0x4003;
    std::string oversizedIn;  // this database's records answer a size past the buffer
};

class MemorySyncManager : public SyncManager {
public:
    explicit MemorySyncManager(MemoryHandheld& handheld)
        : h_(handheld), transientLeft_(handheld.transientAnswers) {}

    int recordReads = 0, opens = 0, closesUpdatingBackup = 0, registered = 0;
    std::vector<std::string> deleted;

    int32_t Register() override {
        ++registered;
        return 0;
    }
    int32_t Unregister() override {
        --registered;
        return 0;
    }
    int32_t ReadUserInfo(SyncUserInfo& user) override {
        return Answer([&] {
            user.name = h_.user;
            user.nameLength = static_cast<uint32_t>(h_.user.size());
            return 0;
        });
    }
    int32_t ReadCardInfo(SyncCardInfo& card) override {
        return Answer([&] {
            card.ramDatabases = static_cast<uint16_t>(h_.ram.size());
            card.romDatabases = static_cast<uint16_t>(h_.rom.size());
            return 0;
        });
    }
    int32_t ReadDatabaseList(bool ram, uint16_t capacity,
                             std::vector<DatabaseEntry>& entries) override {
        return Answer([&] {
            entries.clear();
            const auto& list = ram ? h_.ram : h_.rom;
            if (list.empty()) return syncerr::kNotFound;  // as the stand-in answers
            for (size_t i = 0; i < list.size() && i < capacity; ++i) {
                DatabaseEntry entry = EntryOf(list[i], static_cast<uint16_t>(i));
                if (auto flags = h_.miscFlags.find(entry.name); flags != h_.miscFlags.end())
                    entry.miscFlags = flags->second;
                entries.push_back(entry);
            }
            return 0;
        });
    }
    uint16_t OsMajorVersion() override { return h_.osMajor; }

    int32_t OpenDatabase(const std::string& name, uint8_t, uint8_t& handle) override {
        if (name == h_.lostAt) lost_ = true;
        return Answer([&] {
            const PalmDatabase* db = Find(name);
            if (!db) return syncerr::kNotFound;
            ++opens;
            open_.push_back(db);
            handle = static_cast<uint8_t>(open_.size());
            return 0;
        });
    }
    int32_t MaxRecordSize(uint32_t& size) override {
        return Answer([&] {
            size = h_.largestRecord;
            return 0;
        });
    }
    int32_t RecordCount(uint8_t handle, uint16_t& count) override {
        return Answer([&] {
            const PalmDatabase* db = Open(handle);
            if (!db) return syncerr::kNotFound;
            count = static_cast<uint16_t>(db->EntryCount());
            return 0;
        });
    }
    int32_t ReadAppInfo(uint8_t handle, uint8_t* buffer, uint32_t capacity,
                        uint32_t& size) override {
        return Answer([&] {
            const PalmDatabase* db = Open(handle);
            if (!db || !db->appInfo) return syncerr::kNotFound;
            return Copy(*db->appInfo, buffer, capacity, size);
        });
    }
    int32_t ReadRecord(uint8_t handle, uint16_t index, uint8_t* buffer, uint32_t capacity,
                       SyncRecordInfo& info) override {
        return Answer([&] {
            const PalmDatabase* db = Open(handle);
            if (!db || index >= db->records.size()) return syncerr::kNotFound;
            if (db->Name() == h_.badRecordIn && index == h_.badRecordIndex) return h_.badRecordCode;
            ++recordReads;
            const PalmRecord& record = db->records[index];
            info.uniqueId = record.uniqueId;
            SplitAttributes(record.attributes, info);
            return Read(*db, record.data, buffer, capacity, info);
        });
    }
    int32_t ReadResource(uint8_t handle, uint16_t index, uint8_t* buffer, uint32_t capacity,
                         SyncRecordInfo& info) override {
        return Answer([&] {
            const PalmDatabase* db = Open(handle);
            if (!db || index >= db->resources.size()) return syncerr::kNotFound;
            if (db->Name() == h_.badRecordIn && index == h_.badRecordIndex) return h_.badRecordCode;
            ++recordReads;
            const PalmResource& resource = db->resources[index];
            info.type = resource.type;
            info.id = resource.id;
            return Read(*db, resource.data, buffer, capacity, info);
        });
    }
    int32_t CloseDatabase(uint8_t handle) override {
        return Answer([&] { return Open(handle) ? 0 : syncerr::kNotFound; });
    }
    int32_t CloseDatabaseUpdatingBackupDate(uint8_t handle) override {
        ++closesUpdatingBackup;
        return CloseDatabase(handle);
    }
    int32_t DeleteDatabase(const std::string& name) override {
        return Answer([&] {
            const auto it = std::find_if(h_.ram.begin(), h_.ram.end(),
                                         [&](const PalmDatabase& db) { return db.Name() == name; });
            if (it == h_.ram.end()) return syncerr::kNotFound;
            deleted.push_back(name);
            return 0;
        });
    }
    void KeepAlive() override {}
    uint16_t HostToHandheld16(uint16_t v) override {
        return static_cast<uint16_t>((v >> 8) | (v << 8));
    }
    uint32_t HostToHandheld32(uint32_t v) override {
        return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
    }
    uint32_t HandheldToHost32(uint32_t v) override { return HostToHandheld32(v); }

    // A record's attribute byte as the Sync Manager hands it over: the flags, and the category
    // apart; a deleted or busy record's bit 0x08 says it was archived, and is a flag then.
    static void SplitAttributes(uint8_t byte, SyncRecordInfo& info) {
        const bool archived = (byte & 0xA0) && (byte & 0x08);
        info.attributes = static_cast<uint8_t>((byte & 0xF0) | (archived ? 0x08 : 0));
        info.category = static_cast<uint8_t>(byte & (archived ? 0x07 : 0x0F));
    }

private:
    template <class F>
    int32_t Answer(F&& real) {
        if (lost_) return syncerr::kTransient;
        if (transientLeft_ > 0) {
            --transientLeft_;
            return syncerr::kTransient;
        }
        transientLeft_ = h_.transientAnswers;
        return real();
    }
    const PalmDatabase* Find(const std::string& name) const {
        for (const auto* list : {&h_.ram, &h_.rom})
            for (const PalmDatabase& db : *list)
                if (db.Name() == name) return &db;
        return nullptr;
    }
    const PalmDatabase* Open(uint8_t handle) const {
        return handle >= 1 && handle <= open_.size() ? open_[handle - 1] : nullptr;
    }
    int32_t Read(const PalmDatabase& db, const std::vector<uint8_t>& data, uint8_t* buffer,
                 uint32_t capacity, SyncRecordInfo& info) {
        uint32_t size = 0;
        const int32_t result = Copy(data, buffer, capacity, size);
        info.size = db.Name() == h_.oversizedIn ? capacity + 1 : size;
        return result;
    }
    static int32_t Copy(const std::vector<uint8_t>& data, uint8_t* buffer, uint32_t capacity,
                        uint32_t& size) {
        size = static_cast<uint32_t>(data.size());
        std::memcpy(buffer, data.data(), std::min<size_t>(data.size(), capacity));
        return 0;
    }

    MemoryHandheld& h_;
    std::vector<const PalmDatabase*> open_;
    int transientLeft_;
    bool lost_ = false;
};
