// The Sync Manager and the HotSync log as HotSync Manager's libraries offer them (sync20.dll,
// hslog20.dll, imported as base/SyncApi.h declares them). The byte records become values here,
// and no count or size the libraries answer makes this side read or write past the buffers it
// handed them.
#include <windows.h>

#include <vector>

#include "base/SyncApi.h"
#include "conduit/SyncManager.h"

namespace {

class Win32SyncManager : public SyncManager {
public:
    int32_t Register() override { return SyncRegisterConduit(&conduit_); }
    int32_t Unregister() override { return SyncUnRegisterConduit(conduit_); }
    int32_t ReadUserInfo(SyncUserInfo& user) override {
        uint8_t bytes[userinfo::kSize] = {};
        const int32_t result = SyncReadUserID(bytes);
        if (result == 0) user = UnpackUserInfo(bytes);
        return result;
    }
    int32_t ReadCardInfo(SyncCardInfo& card) override {
        uint8_t bytes[cardinfo::kSize] = {};  // card 0
        const int32_t result = SyncReadSingleCardInfo(bytes);
        if (result == 0) card = UnpackCardInfo(bytes);
        return result;
    }
    int32_t ReadDatabaseList(bool ram, uint16_t capacity,
                             std::vector<DatabaseEntry>& entries) override {
        entries.clear();
        std::vector<uint8_t> bytes(size_t{capacity} * dbentry::kSize);
        uint16_t count = capacity;
        const int32_t result = SyncReadDBList(0, 0, ram ? 1 : 0, bytes.data(), &count);
        if (result != 0) return result;
        if (count > capacity) count = capacity;
        for (uint16_t i = 0; i < count; ++i)
            entries.push_back(UnpackDatabaseEntry(&bytes[size_t{i} * dbentry::kSize]));
        return 0;
    }
    uint16_t OsMajorVersion() override {
        return static_cast<uint16_t>(SyncGetHHOSVersion(0) & 0xFFFF);
    }
    int32_t OpenDatabase(const std::string& name, uint8_t mode, uint8_t& handle) override {
        return SyncOpenDB(name.c_str(), 0, &handle, mode);
    }
    int32_t MaxRecordSize(uint32_t& size) override { return SyncMaxRemoteRecSize(&size); }
    int32_t RecordCount(uint8_t handle, uint16_t& count) override {
        return SyncGetDBRecordCount(handle, &count);
    }
    int32_t ReadAppInfo(uint8_t handle, uint8_t* buffer, uint32_t capacity,
                        uint32_t& size) override {
        SyncBlockRead block{buffer, capacity, 0};
        const int32_t result = SyncReadDBAppInfoBlock(handle, &block);
        size = block.size;
        return result;
    }
    int32_t ReadRecord(uint8_t handle, uint16_t index, uint8_t* buffer, uint32_t capacity,
                       SyncRecordInfo& info) override {
        SyncRecordRead record{};
        record.handle = handle;
        record.index = index;
        record.buffer = buffer;
        record.bufferSize = capacity;
        const int32_t result = SyncReadRecordByIndex(&record);
        info.size = record.size;
        info.uniqueId = record.uniqueId;
        info.attributes = record.attributes;
        info.category = record.category;
        return result;
    }
    int32_t ReadResource(uint8_t handle, uint16_t index, uint8_t* buffer, uint32_t capacity,
                         SyncRecordInfo& info) override {
        SyncResourceRead resource{};
        resource.handle = handle;
        resource.index = index;
        resource.buffer = buffer;
        resource.bufferSize = capacity;
        const int32_t result = SyncReadResRecordByIndex(&resource);
        info.size = resource.size;
        info.type = resource.type;
        info.id = resource.id;
        return result;
    }
    int32_t CloseDatabase(uint8_t handle) override { return SyncCloseDB(handle); }
    int32_t CloseDatabaseUpdatingBackupDate(uint8_t handle) override {
        return SyncCloseDBEx(handle, kSyncCloseUpdateBackupDate);
    }
    int32_t DeleteDatabase(const std::string& name) override {
        return SyncDeleteDB(name.c_str(), 0);
    }
    void KeepAlive() override { SyncYieldCycles(1); }
    uint16_t HostToHandheld16(uint16_t value) override { return SyncHostToHHWord(value); }
    uint32_t HostToHandheld32(uint32_t value) override { return SyncHostToHHDWord(value); }
    uint32_t HandheldToHost32(uint32_t value) override { return SyncHHToHostDWord(value); }

private:
    int32_t conduit_ = 0;
};

// Plain lines through the simple entry; the lines HotSync Manager marks (a conduit's start and
// end, warnings) through the formatted one, which takes the text as a value so that a '%' in a
// database's name is never read as a format.
class Win32HotSyncLog : public HotSyncLog {
public:
    void Add(int32_t activity, bool timestamp, const std::string& text) override {
        if (activity == logactivity::kText) {
            LogAddEntry(text.c_str(), activity, timestamp ? 1 : 0);
        } else {
            LogAddFormattedEntry(activity, timestamp ? 1 : 0, "%s", text.c_str());
        }
    }
};

}  // namespace

std::unique_ptr<SyncManager> MakeSyncManager() { return std::make_unique<Win32SyncManager>(); }
std::unique_ptr<HotSyncLog> MakeHotSyncLog() { return std::make_unique<Win32HotSyncLog>(); }
