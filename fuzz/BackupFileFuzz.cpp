// The conduit's readers of backup files it finds on the desktop: a file's database name and
// dates, the lookup of a database's file among files of colliding names, and orphan archiving
// over a folder holding the input (whole, and cut in half) as backup files. None may crash or
// read past the bytes, whatever a file holds; archiving may only move files into the archive.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/SyncLayouts.h"
#include "conduit/BackupFile.h"
#include "conduit/BackupNames.h"
#include "conduit/DesktopFiles.h"
#include "conduit/OrphanArchive.h"
#include "conduit/SyncCalls.h"

namespace {

constexpr const char* kBackup = "U\\BACKUP\\";
constexpr const char* kArchive = "U\\Archived_Files\\";

class MemoryFiles : public DesktopFiles {
public:
    std::map<std::string, std::vector<uint8_t>> files;

    int32_t MakeDirectory(const std::string&) override { return 0; }
    bool IsDirectory(const std::string&) override { return false; }
    int32_t List(const std::string& folder, std::vector<DesktopEntry>& entries) override {
        entries.clear();
        for (const auto& [path, bytes] : files)
            if (path.rfind(folder, 0) == 0)
                entries.push_back({path.substr(folder.size()), false, 0});
        return 0;
    }
    int32_t ReadHead(const std::string& path, size_t size, std::vector<uint8_t>& bytes) override {
        const auto it = files.find(path);
        if (it == files.end()) return 2;
        bytes.assign(it->second.begin(), it->second.begin() + std::min(size, it->second.size()));
        return 0;
    }
    int32_t ReadAll(const std::string& path, std::vector<uint8_t>& bytes) override {
        return ReadHead(path, SIZE_MAX, bytes);
    }
    std::unique_ptr<DesktopFileWriter> Create(const std::string&, int32_t& error) override {
        error = 5;
        return nullptr;
    }
    int32_t Copy(const std::string& from, const std::string& to) override {
        const auto it = files.find(from);
        if (it == files.end()) return 2;
        files[to] = it->second;
        return 0;
    }
    int32_t Replace(const std::string& from, const std::string& to) override {
        const auto it = files.find(from);
        if (it == files.end()) return 2;
        files[to] = it->second;
        files.erase(from);
        return 0;
    }
    int32_t Delete(const std::string& path) override { return files.erase(path) ? 0 : 2; }
    int32_t MakeWritable(const std::string&) override { return 0; }
    int32_t RemoveDirectory(const std::string&) override { return 0; }
};

// Only the byte order is asked of the Sync Manager here.
class ByteOrderOnly : public SyncManager {
public:
    int32_t Register() override { return 0; }
    int32_t Unregister() override { return 0; }
    int32_t ReadUserInfo(SyncUserInfo&) override { return 1; }
    int32_t ReadCardInfo(SyncCardInfo&) override { return 1; }
    int32_t ReadDatabaseList(bool, uint16_t, std::vector<DatabaseEntry>&) override { return 1; }
    uint16_t OsMajorVersion() override { return 3; }
    int32_t OpenDatabase(const std::string&, uint8_t, uint8_t&) override { return 1; }
    int32_t MaxRecordSize(uint32_t&) override { return 1; }
    int32_t RecordCount(uint8_t, uint16_t&) override { return 1; }
    int32_t ReadAppInfo(uint8_t, uint8_t*, uint32_t, uint32_t&) override { return 1; }
    int32_t ReadRecord(uint8_t, uint16_t, uint8_t*, uint32_t, SyncRecordInfo&) override {
        return 1;
    }
    int32_t ReadResource(uint8_t, uint16_t, uint8_t*, uint32_t, SyncRecordInfo&) override {
        return 1;
    }
    int32_t CloseDatabase(uint8_t) override { return 0; }
    int32_t CloseDatabaseUpdatingBackupDate(uint8_t) override { return 0; }
    int32_t DeleteDatabase(const std::string&) override { return 1; }
    void KeepAlive() override {}
    uint16_t HostToHandheld16(uint16_t v) override {
        return static_cast<uint16_t>(v >> 8 | v << 8);
    }
    uint32_t HostToHandheld32(uint32_t v) override { return __builtin_bswap32(v); }
    uint32_t HandheldToHost32(uint32_t v) override { return __builtin_bswap32(v); }
};

class NoLog : public HotSyncLog {
public:
    void Add(int32_t, bool, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFiles files;
    const std::vector<uint8_t> whole(data, data + size);
    files.files[std::string(kBackup) + "X.PDB"] = whole;
    files.files[std::string(kBackup) + "X_2.PDB"] = std::vector<uint8_t>(data, data + size / 2);
    ByteOrderOnly sync;
    SyncCalls calls(sync, [](uint32_t) {});
    NoLog log;

    const auto name = ReadBackupName(files, std::string(kBackup) + "X.PDB");
    if (name && name->size() > backupfile::kNameSize) __builtin_trap();
    DatabaseEntry entry;
    entry.name = name.value_or("X");
    entry.creationDate = 1;
    entry.modificationDate = 2;
    CopyState(files, calls, std::string(kBackup) + "X.PDB", entry);

    BackupFileNames names(files, kBackup);
    const std::string found = names.Take(entry.name, false);
    if (found.rfind(kBackup, 0) != 0 ||
        found.find('\\', std::string(kBackup).size()) != std::string::npos)
        __builtin_trap();  // a database's file never leaves its folder

    OrphanPass pass{files, log, calls};
    const size_t before = files.files.size();
    ArchiveOrphans(pass, kBackup, {}, {entry}, kArchive);
    for (const auto& [path, bytes] : files.files)
        if (path.rfind(kBackup, 0) != 0 && path.rfind(kArchive, 0) != 0) __builtin_trap();
    if (files.files.size() > before) __builtin_trap();
    return 0;
}
