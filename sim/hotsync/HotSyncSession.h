// One HotSync of the virtual handheld, as the HotSync Manager stand-in performs it: the
// notifiers are told it begins, the files queued for the handheld are installed, the backup
// conduit runs (or HotSync Manager's own backup, when the conduit is the default one or cannot
// be loaded), a handheld that has lost its user (an update erased it) gets its data and its
// user back from the desktop, and the notifiers are told it ends. Every step is written to
// the HotSync log. Portable: the Windows program binds the notifiers and the conduit.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/SyncLayouts.h"
#include "sim/HandheldStore.h"

namespace hotsync_session {

// HS_Notify's codes: a HotSync begins, and ends.
constexpr int32_t kBegin = 1;
constexpr int32_t kEnd = 2;
// What the stand-in passes notifiers as `data`: its one user (userdata.dll takes any value to
// mean the world's user).
constexpr uint32_t kUserData = 1;

// Where the desktop keeps a user's backups, below the user's folder.
constexpr const char* kBackupFolder = "BACKUP";
constexpr const char* kRomFolder = "ROM_Files";
constexpr const char* kScratchFolder = "temp007";

// HotSync Manager's own backup conduit: named, or no conduit named, the HotSync makes the
// backup itself.
constexpr const char* kDefaultConduit = "bakcn20.dll";
bool IsDefaultConduit(const std::string& conduit);

// The sync properties OpenConduit is given: the sync type, the backup folder with its
// trailing backslash, the connection type; nullopt when the folder does not fit its field.
std::optional<std::array<uint8_t, syncprops::kSize>> SyncProperties(uint32_t syncType,
                                                                    const std::string& backupFolder,
                                                                    uint32_t connection);

}  // namespace hotsync_session

// How a HotSync's backup conduit went.
struct ConduitRun {
    enum class Outcome : uint8_t {
        Default,        // the default conduit, or none named
        CannotLoad,     // not a library that loads
        NoEntry,        // a library without OpenConduit
        FolderTooLong,  // the backup folder does not fit the sync properties
        Ran,
    };
    Outcome outcome = Outcome::Default;
    std::string conduit;  // as the registry names it
    int32_t result = 0;   // OpenConduit's, when it ran
};

// What a HotSync calls out to.
struct HotSyncCallouts {
    // Each registered notifier's HS_Notify(code, data), in order.
    std::vector<std::function<void(int32_t code, uint32_t data)>> notifiers;
    // Runs the backup conduit named in the registry with the backup folder. Unless it ran, the
    // HotSync makes the backup itself.
    std::function<ConduitRun(const std::filesystem::path& backupFolder)> backupConduit;
    // Each line for the HotSync log as it comes, so that it takes its place among those the
    // conduit adds meanwhile.
    std::function<void(const std::string& line)> log;
};

struct HotSyncResult {
    bool ok = true;
    std::vector<std::string> log;  // the lines written to the HotSync log
    int installed = 0;
    int backedUp = 0;
    int restored = 0;
};

// The file name a database is backed up under: its name with every character a desktop file
// name may not hold, and '.' and ' ', made '_', then ".PRC" or ".PDB".
std::string BackupFileName(const PalmDatabase& database);

// One HotSync of the handheld at `store` with the desktop user `user`, whose folder is
// `userFolder`.
HotSyncResult PerformHotSync(HandheldStore& store, const std::string& user,
                             const std::filesystem::path& userFolder, HotSyncCallouts& callouts);
