// The stand-in of HotSync Manager's sync20.dll, the Sync Manager: a conduit's calls on the
// virtual handheld that the world's key names, answered by SyncServer, which also plays the
// faults the key asks for (World.h). A conduit registers first; everything it asks until it
// unregisters is one HotSync's connection. What went wrong beside the answers (a damaged
// database file, a disk that was not filled) goes to HotSync.log when the conduit unregisters,
// where whoever set the world up looks.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "base/RegistryEdge.h"
#include "base/SyncApi.h"
#include "sim/hotsync/HotSyncLog.h"
#include "sim/hotsync/SyncServer.h"
#include "sim/hotsync/WorldSettings.h"

namespace {

// The one conduit a HotSync runs at a time.
constexpr int32_t kConduitHandle = 1;

struct Connection {
    explicit Connection(const std::string& stateDir) : store(stateDir) {}
    HandheldStore store;
    std::unique_ptr<SyncServer> server;
};
std::unique_ptr<Connection> g_connection;

SyncFaults ReadFaults(RegistryEdge& registry) {
    SyncFaults faults;
    faults.transient = hsworld::ReadNumber(registry, hsworld::kFaultTransient).value_or(0);
    faults.lostAt = hsworld::ReadSetting(registry, hsworld::kFaultLostAt).value_or("");
    faults.badRecord = hsworld::ReadSetting(registry, hsworld::kFaultBadRecord).value_or("");
    faults.badRecordIndex =
        hsworld::ReadNumber(registry, hsworld::kFaultBadRecordIndex).value_or(0);
    faults.diskFullAt = hsworld::ReadSetting(registry, hsworld::kFaultDiskFullAt).value_or("");
    faults.backupFolder = hsworld::BackupFolder(registry).value_or("");
    if (faults.backupFolder.empty()) faults.diskFullAt.clear();
    return faults;
}

// Every call but registering goes to the server of the registered conduit; nothing that goes
// wrong in there crosses into the conduit as anything but a code.
template <class Call>
int32_t Serve(Call&& call) {
    if (!g_connection) return syncanswer::kNotRegistered;
    try {
        return call(*g_connection->server);
    } catch (...) {
        return syncanswer::kHandheldFailed;
    }
}

}  // namespace

extern "C" {

int32_t KESTREL_STDCALL SyncRegisterConduit(int32_t* handle) {
    if (!handle) return syncanswer::kBadArgument;
    if (g_connection) return syncanswer::kAlreadyRegistered;
    try {
        const auto registry = MakeRegistryEdge();
        const auto handheld = hsworld::ReadSetting(*registry, hsworld::kHandheld);
        if (!handheld) return syncanswer::kHandheldFailed;
        auto connection = std::make_unique<Connection>(*handheld);
        connection->server = std::make_unique<SyncServer>(connection->store, ReadFaults(*registry));
        g_connection = std::move(connection);
    } catch (...) {
        return syncanswer::kHandheldFailed;
    }
    *handle = kConduitHandle;
    return syncerr::kOk;
}

int32_t KESTREL_STDCALL SyncUnRegisterConduit(int32_t handle) {
    if (!g_connection) return syncanswer::kNotRegistered;
    if (handle != kConduitHandle) return syncanswer::kBadHandle;
    try {
        const auto registry = MakeRegistryEdge();
        const auto user = hsworld::ReadSetting(*registry, hsworld::kUser);
        const auto folder = user ? hsworld::UserFolder(*registry, *user) : std::nullopt;
        std::vector<std::string> lines;
        for (const std::string& problem : g_connection->server->Problems())
            lines.push_back("Sync Manager: " + problem);
        if (folder && !lines.empty()) hotsync_log::Append(*folder, lines);
        if (auto key = registry->OpenCurrentUser(hsworld::kKey)) {
            RegistryValue read{hsworld::kBlocksRead, regtype::Dword, std::vector<uint8_t>(4)};
            byteorder::PutLE32(read.data.data(), g_connection->server->BlocksRead());
            key->WriteValue(read);
        }
    } catch (...) {
        // The report is for people; the conduit's answer does not depend on it.
    }
    g_connection.reset();
    return syncerr::kOk;
}

int32_t KESTREL_STDCALL SyncReadUserID(uint8_t* userInfo) {
    return Serve([&](SyncServer& s) { return s.ReadUserInfo(userInfo); });
}

int32_t KESTREL_STDCALL SyncOpenDB(const char* name, int32_t card, uint8_t* handle, uint8_t mode) {
    return Serve([&](SyncServer& s) { return s.OpenDatabase(name, card, handle, mode); });
}

int32_t KESTREL_STDCALL SyncCloseDB(uint8_t handle) {
    return Serve([&](SyncServer& s) { return s.Close(handle, 0); });
}

int32_t KESTREL_STDCALL SyncDeleteDB(const char* name, int32_t card) {
    return Serve([&](SyncServer& s) { return s.DeleteDatabase(name, card); });
}

int32_t KESTREL_STDCALL SyncReadDBList(uint8_t card, uint16_t start, uint16_t ramFlag,
                                       uint8_t* entries, uint16_t* count) {
    return Serve(
        [&](SyncServer& s) { return s.ReadDatabaseList(card, start, ramFlag, entries, count); });
}

int32_t KESTREL_STDCALL SyncReadRecordByIndex(SyncRecordRead* record) {
    return Serve([&](SyncServer& s) { return s.ReadRecord(record); });
}

int32_t KESTREL_STDCALL SyncReadDBAppInfoBlock(uint8_t handle, SyncBlockRead* block) {
    return Serve([&](SyncServer& s) { return s.ReadAppInfo(handle, block); });
}

int32_t KESTREL_STDCALL SyncReadSingleCardInfo(uint8_t* card) {
    return Serve([&](SyncServer& s) { return s.ReadCardInfo(card); });
}

int32_t KESTREL_STDCALL SyncGetHHOSVersion(int32_t) {
    // No conduit registered, no handheld to ask: version 0.
    if (!g_connection) return 0;
    return Serve([](SyncServer& s) { return s.HandheldOsVersion(); });
}

int32_t KESTREL_STDCALL SyncMaxRemoteRecSize(uint32_t* size) {
    return Serve([&](SyncServer& s) { return s.MaxRecordSize(size); });
}

int32_t KESTREL_STDCALL SyncGetDBRecordCount(uint8_t handle, uint16_t* count) {
    return Serve([&](SyncServer& s) { return s.RecordCount(handle, count); });
}

int32_t KESTREL_STDCALL SyncReadResRecordByIndex(SyncResourceRead* resource) {
    return Serve([&](SyncServer& s) { return s.ReadResource(resource); });
}

int32_t KESTREL_STDCALL SyncCloseDBEx(uint8_t handle, uint8_t options) {
    return Serve([&](SyncServer& s) { return s.Close(handle, options); });
}

int32_t KESTREL_STDCALL SyncYieldCycles(uint16_t) {
    return Serve([](SyncServer& s) { return s.KeepAlive(); });
}

// The handheld is big-endian: a desktop number's bytes, laid out in the handheld's order and
// read back in the desktop's.
uint16_t KESTREL_STDCALL SyncHostToHHWord(uint16_t value) {
    uint8_t bytes[2];
    byteorder::PutBE16(bytes, value);
    return byteorder::GetLE16(bytes);
}

uint32_t KESTREL_STDCALL SyncHostToHHDWord(uint32_t value) {
    uint8_t bytes[4];
    byteorder::PutBE32(bytes, value);
    return byteorder::GetLE32(bytes);
}

uint32_t KESTREL_STDCALL SyncHHToHostDWord(uint32_t value) {
    uint8_t bytes[4];
    byteorder::PutLE32(bytes, value);
    return byteorder::GetBE32(bytes);
}

}  // extern "C"
