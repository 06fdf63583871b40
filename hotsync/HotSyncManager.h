// The HotSync environment of one run of the wizard: Palm Desktop's settings found in the
// registry, HotSync Manager recognised by its window titles, asked to exit, started and
// watched, and the notifier and backup conduit registered for the backup HotSync. Everything
// it changes it puts back when it is destroyed, whatever page the wizard was on: HotSync
// Manager's registry key as it was found, and HotSync Manager running exactly when it was
// running before.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/MessageBoxEdge.h"
#include "base/RegistryEdge.h"
#include "hotsync/DesktopEdge.h"

namespace hotsync {

// HotSync Manager's windows, by their exact titles (bytes in the ANSI code page).
inline constexpr const char* kMainTitle = "HotSync Manager";
inline constexpr const char* kProgressTitle = "HotSync Progress";
inline constexpr const char* kProblemTitles[] = {
    "HotSync Problem", "Probl\xE8me de synchronisation", "HotSync-Problem"};
inline constexpr const char* kLogTitles[] = {"HotSync Log", "Journal de HotSync",
                                             "HotSync-Protokoll"};

// The message that makes HotSync Manager exit, with its parameters.
inline constexpr uint32_t kExitMessage = 0xBEC5;
inline constexpr uintptr_t kExitWParam = 1;
inline constexpr intptr_t kExitLParam = 0;

// Notifier values are "Notifier0" ... "Notifier999".
inline constexpr int kNotifierNames = 1000;

}  // namespace hotsync

class THotSyncManager {
public:
    // Finds Palm Desktop's settings (it never fails outward: what cannot be found stays
    // empty). The message box edge shows the one box of its own, at the end of the run.
    THotSyncManager(std::unique_ptr<RegistryEdge> registry = MakeRegistryEdge(),
                    std::unique_ptr<DesktopEdge> desktop = MakeDesktopEdge(),
                    std::unique_ptr<MessageBoxEdge> boxes = MakeMessageBoxEdge());
    // Closes HotSync Manager, removes this run's notifiers, puts the backup conduit back and
    // starts HotSync Manager again when the run had closed one it did not start.
    ~THotSyncManager();
    THotSyncManager(const THotSyncManager&) = delete;
    THotSyncManager& operator=(const THotSyncManager&) = delete;

    // Discovery.
    bool HotSyncExists();
    std::string GetComPort() const;

    // Control.
    bool IsHotSyncRunning();
    void CloseHotSync();
    bool StartHotSync();
    bool IsSyncInProgress();
    void ShowSyncProgress();
    void RestartHotSync();
    bool IsEasySyncInstalled();

    // Registration. Both raise EInvalidOperation when no file exists at `path`.
    void RegisterNotifier(const std::string& path);
    void UnregisterNotifiers();
    void SetBackupConduit(const std::string& path);
    void RestoreBackupConduit();

    // What discovery found, and the run's bookkeeping, for tests.
    bool DesktopFound() const { return FDesktopFound; }
    const std::string& HotSyncPath() const { return FHotSyncPath; }
    int ClosedCount() const { return FClosedCount; }
    const std::vector<std::string>& Notifiers() const { return FNotifiers; }

private:
    // Waits, without a limit, until the user has closed HotSync Manager's problem report and
    // log windows.
    void WaitForHotSyncDialogs();
    // HotSync Manager's main window, waited for while the one this run started is still
    // starting (as long as an exit is waited for); nullptr when it does not show one.
    DesktopEdge::Window WaitForStartedWindow();

    std::unique_ptr<RegistryEdge> registry_;
    std::unique_ptr<DesktopEdge> desktop_;
    std::unique_ptr<MessageBoxEdge> boxes_;

    DesktopEdge::Process FProcessInfo;  // the HotSync Manager this run started, if any
    DesktopEdge::Window FWindow = nullptr;
    // HotSync Manager instances this run asked to exit and had not started itself.
    int FClosedCount = 0;
    bool FDesktopFound = true;
    std::string FComPort;
    std::vector<std::string> FNotifiers;  // registered in this run, in order
    // "BackupConduit" as found at start, of whatever type, to be put back exactly; Unknown
    // when it could not be read, so that it is neither replaced nor put back.
    enum class Saved { Absent, Found, Unknown } FSavedState = Saved::Absent;
    RegistryValue FSavedBackupConduit;
    std::string FHotSyncPath;
};
