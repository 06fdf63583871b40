// The virus scanning at the end of a backup run, when the settings switch it on: the
// scanners of the plug-in "VScanners.dll" (beside the conduit's own file) look at every backup
// file; infected databases can be removed from the handheld and infected files moved into the
// quarantine folder; a newer plug-in can be fetched first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct CSMPrefs;
class BackupWindows;
class DesktopFiles;
class HotSyncLog;
class ScannerPlugin;
class SyncCalls;
class WebClient;
namespace backup {
struct Folders;
}

struct ScanRun {
    SyncCalls& calls;
    HotSyncLog& log;
    DesktopFiles& files;
    BackupWindows& windows;
    const backup::Folders& folders;
    CSMPrefs& prefs;  // a successful update of the scanners renews and saves them
    uint32_t now;     // seconds since 1970-01-01
};

class VirusScanning {
public:
    virtual ~VirusScanning() = default;
    virtual void Run(ScanRun& run) = 0;
};

// The scanning with the plug-in and the web given. A plug-in file is loaded only after its
// bytes showed a library for this machine exporting GetScanners; a newer one is downloaded
// beside it, judged the same way and renamed over it in one step, so a failed or partial
// download, or one that is no such library, leaves the working plug-in in place.
class PluginScanning : public VirusScanning {
public:
    PluginScanning(ScannerPlugin& plugin, WebClient& web) : plugin_(plugin), web_(web) {}
    void Run(ScanRun& run) override;

private:
    ScannerPlugin& plugin_;
    WebClient& web_;
};

namespace virusscan {

// What an update list says of the plug-in.
struct ListedPlugin {
    bool page = false;    // the list is a web page, not a list: the update fails
    bool listed = false;  // a line names "vscanners.dll"
    std::string version;  // its second word; empty when the line has none
};
ListedPlugin ReadUpdateList(std::string_view text);

}  // namespace virusscan
