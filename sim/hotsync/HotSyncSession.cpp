#include "sim/hotsync/HotSyncSession.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "base/ByteOrder.h"
#include "base/Text.h"

namespace fs = std::filesystem;
using namespace hotsync_session;

namespace {

// Characters a backup file name does not keep, as HotSync's backups name their files.
bool Replaced(char c) {
    static constexpr char kReplaced[] = "\\/*?\"<>|. :\r\n";
    return c == '\0' ||
           std::find(std::begin(kReplaced), std::end(kReplaced) - 1, c) != std::end(kReplaced) - 1;
}

class Session {
public:
    Session(HandheldStore& store, const std::string& user, const fs::path& userFolder,
            HotSyncCallouts& callouts)
        : store_(store), user_(user), userFolder_(userFolder), callouts_(callouts) {}

    HotSyncResult Run() {
        Log("HotSync started for " + user_);
        Notify(kBegin);
        Install();
        std::string handheldUser;
        std::string error;
        if (!store_.ReadUser(handheldUser, error))
            Fail("cannot read the handheld's user: " + error);
        // The backup conduit runs in every HotSync; a conduit that finds the handheld without
        // its user knows a restore is coming and leaves the desktop alone.
        RunConduit(!handheldUser.empty());
        if (handheldUser.empty()) Restore();
        Notify(kEnd);
        Log(result_.ok ? "HotSync completed" : "HotSync completed with errors");
        return result_;
    }

private:
    void Log(const std::string& line) {
        result_.log.push_back(line);
        if (callouts_.log) callouts_.log(line);
    }
    void Fail(const std::string& line) {
        result_.ok = false;
        Log("Error: " + line);
    }

    void Notify(int32_t code) {
        for (auto& notify : callouts_.notifiers) notify(code, kUserData);
    }

    // The queued files go into RAM; one that is no database stays queued and is reported.
    void Install() {
        std::vector<StoredDatabase> queued;
        std::vector<DamagedFile> damaged;
        std::string error;
        if (!store_.List(StoreFolder::Install, queued, damaged, error)) return Fail(error);
        for (const DamagedFile& file : damaged)
            Fail("cannot install " + file.fileName + ": " + file.error);
        for (const StoredDatabase& file : queued) {
            if (!store_.Write(StoreFolder::Ram, file.database, error)) {
                Fail("cannot install " + file.fileName + ": " + error);
                continue;
            }
            fs::remove(store_.FolderPath(StoreFolder::Install) / file.fileName, failure_);
            ++result_.installed;
            Log("Installed " + file.database.Name());
        }
    }

    void RunConduit(bool handheldHasUser) {
        ConduitRun run;
        if (callouts_.backupConduit) run = callouts_.backupConduit(userFolder_ / kBackupFolder);
        const std::string name =
            "Backup conduit " + (run.conduit.empty() ? kDefaultConduit : run.conduit);
        const char* why = "";
        switch (run.outcome) {
            case ConduitRun::Outcome::Ran:
                return Log(name + " ran (result " + std::to_string(run.result) + ")");
            case ConduitRun::Outcome::Default: break;
            case ConduitRun::Outcome::CannotLoad: why = " cannot be loaded"; break;
            case ConduitRun::Outcome::NoEntry: why = " has no OpenConduit"; break;
            case ConduitRun::Outcome::FolderTooLong:
                why = " cannot be given the backup folder";
                break;
        }
        if (!handheldHasUser) return Log(name + why + ": no backup of a handheld without its user");
        Log(name + why + ": HotSync Manager's own backup");
        Backup();
    }

    // Every RAM database into the backup folder, every database added to the flash ROM into
    // the ROM folder, as HotSync Manager's own backup does.
    void Backup() {
        BackupFolder(StoreFolder::Ram, userFolder_ / kBackupFolder);
        BackupFolder(StoreFolder::RomAdded, userFolder_ / kRomFolder);
    }

    void BackupFolder(StoreFolder folder, const fs::path& to) {
        std::vector<StoredDatabase> databases;
        std::vector<DamagedFile> damaged;
        std::string error;
        if (!store_.List(folder, databases, damaged, error)) return Fail(error);
        for (const DamagedFile& file : damaged)
            Fail("cannot back up " + file.fileName + ": " + file.error);
        fs::create_directories(to, failure_);
        for (const StoredDatabase& stored : databases) {
            std::vector<uint8_t> bytes;
            if (!WritePalmDatabase(stored.database, bytes, error) ||
                !ReplaceFile(to / BackupFileName(stored.database), bytes, error)) {
                Fail("cannot back up " + stored.database.Name() + ": " + error);
                continue;
            }
            ++result_.backedUp;
        }
        Log("Backed up " + std::string(FolderName(folder)) + " to " + to.string());
    }

    // A handheld without its user was erased: its RAM databases and the databases it had
    // added to its flash ROM come back from the user's backups, and so does its user.
    void Restore() {
        RestoreFolder(userFolder_ / kBackupFolder, StoreFolder::Ram);
        RestoreFolder(userFolder_ / kRomFolder, StoreFolder::RomAdded);
        std::string error;
        if (!store_.WriteUser(user_, error)) return Fail("cannot give the handheld its user");
        Log("Restored " + std::to_string(result_.restored) + " databases for " + user_);
    }

    void RestoreFolder(const fs::path& from, StoreFolder to) {
        if (!fs::is_directory(from, failure_)) return;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(from, failure_))
            if (entry.is_regular_file(failure_)) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            PalmDatabase database;
            std::string error;
            if (!ReadDatabaseFile(file, database, nullptr, error) ||
                !store_.Write(to, database, error)) {
                Fail("cannot restore " + file.filename().string() + ": " + error);
                continue;
            }
            ++result_.restored;
        }
    }

    HandheldStore& store_;
    const std::string& user_;
    const fs::path& userFolder_;
    HotSyncCallouts& callouts_;
    HotSyncResult result_;
    std::error_code failure_;
};

}  // namespace

std::string BackupFileName(const PalmDatabase& database) {
    std::string name = database.Name();
    for (char& c : name)
        if (Replaced(c)) c = '_';
    return name + (database.IsResourceDatabase() ? ".PRC" : ".PDB");
}

bool hotsync_session::IsDefaultConduit(const std::string& conduit) {
    const size_t slash = conduit.find_last_of("\\/");
    const std::string file = slash == std::string::npos ? conduit : conduit.substr(slash + 1);
    return file.empty() || CompareTextIgnoreCase(file, kDefaultConduit) == 0;
}

std::optional<std::array<uint8_t, syncprops::kSize>> hotsync_session::SyncProperties(
    uint32_t syncType, const std::string& backupFolder, uint32_t connection) {
    std::string folder = backupFolder;
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    if (folder.size() >= syncprops::kPathNameSize) return std::nullopt;
    std::array<uint8_t, syncprops::kSize> properties{};
    byteorder::PutLE32(properties.data() + syncprops::kSyncType, syncType);
    std::memcpy(properties.data() + syncprops::kPathName, folder.data(), folder.size());
    byteorder::PutLE32(properties.data() + syncprops::kConnectionType, connection);
    return properties;
}

HotSyncResult PerformHotSync(HandheldStore& store, const std::string& user,
                             const fs::path& userFolder, HotSyncCallouts& callouts) {
    return Session(store, user, userFolder, callouts).Run();
}
