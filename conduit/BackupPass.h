// One backup run: what OpenConduit does when HotSync Manager calls it during a HotSync. Every
// database of the handheld's RAM, and every one the user added to its flash ROM, is copied
// into the user's backup folders as one backup file each; backup files whose databases have
// gone are archived; the virus scanners look at the files when the settings ask for it; and
// the HotSync log gets an account of all of it.
//
// A backup file is replaced only by a complete new copy: a run that stops half-way (the
// connection lost, Cancel, the desktop's disk or memory full) leaves every backup it did not
// get to as it was, so the user never has less than before the HotSync.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class BackupWindows;
class DesktopFiles;
class HotSyncLog;
class SyncManager;
class VirusScanning;

struct ConduitWorld {
    SyncManager& sync;
    HotSyncLog& log;
    DesktopFiles& files;
    BackupWindows& windows;
    // HotSync Manager's default backup conduit written back (conduit/ConduitEntries.h).
    std::function<int32_t(const std::string& file)> writeBackupConduit;
    std::function<void(uint32_t ms)> sleep;
    std::function<uint32_t()> now;      // seconds since 1970-01-01
    VirusScanning* scanning = nullptr;  // none: the settings' scanning is not done
};

namespace backuprun {
constexpr const char* kVersion = "1.40";
}

// The run, on the sync properties HotSync Manager handed over (base/SyncLayouts.h syncprops):
// 0, or the code that ended it.
int32_t RunBackup(ConduitWorld& world, const uint8_t* syncProperties);
