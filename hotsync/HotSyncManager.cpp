#include "hotsync/HotSyncManager.h"

#include <algorithm>
#include <utility>

#include "base/Exceptions.h"
#include "base/PalmDesktopKeys.h"
#include "base/Text.h"

using namespace hotsync;

namespace {

constexpr const char* kHotSyncPathValue = "HotSyncPath";
constexpr const char* kComPortValue = "DirectComPort";
constexpr const char* kBackupConduitValue = "BackupConduit";
constexpr const char* kConduitValue = "Conduit";
constexpr const char* kEasySyncConduit = "NsfAddr.dll";
constexpr const char* kDefaultComPort = "COM1";

constexpr uint32_t kStillActive = 259;
constexpr uint32_t kExitWaitMs = 2000;
constexpr uint32_t kExitPollMs = 10;  // enough to give the core back while HotSync Manager ends
constexpr uint32_t kDialogPollMs = 1000;
constexpr uint32_t kBusy = 0xFFFFFFFF;

constexpr const char* kEasySyncText =
    "Lotus EasySync Conduits Detected.  Please manually restart the HotSync manager.";
constexpr const char* kEasySyncCaption = "Unable to restart HotSync";

const std::string kMissingFile = "Can't install DLL because the file can't be found: ";

std::string NotifierName(int n) { return "Notifier" + std::to_string(n); }

// The folder part of a path, without a trailing backslash except for a drive root ("C:\").
std::string Folder(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    if (slash == std::string::npos) return {};
    if (slash == 2 && path.size() > 1 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

}  // namespace

THotSyncManager::THotSyncManager(std::unique_ptr<RegistryEdge> registry,
                                 std::unique_ptr<DesktopEdge> desktop,
                                 std::unique_ptr<MessageBoxEdge> boxes)
    : registry_(std::move(registry)), desktop_(std::move(desktop)), boxes_(std::move(boxes)) {
    if (auto core = palmdesktop::OpenFirstKey(*registry_, palmdesktop::kCore)) {
        // Any answer but a text (or none) leaves the program unknown.
        const RegistryRead read = core->ReadText(kHotSyncPathValue, FHotSyncPath);
        if (read != RegistryRead::Ok && read != RegistryRead::Missing) {
            FHotSyncPath.clear();
            FDesktopFound = false;
        }
    } else {
        FDesktopFound = false;
    }

    if (auto manager = palmdesktop::OpenFirstKey(*registry_, palmdesktop::kHotSyncManager)) {
        // Each value in a step of its own: a port of another type must not cost the user's
        // backup conduit, which the end of the run would otherwise delete.
        std::string port;
        if (manager->ReadText(kComPortValue, port) == RegistryRead::Ok) FComPort = UpperCase(port);
        switch (manager->ReadValue(kBackupConduitValue, FSavedBackupConduit)) {
            case RegistryRead::Ok: FSavedState = Saved::Found; break;
            case RegistryRead::Missing: FSavedState = Saved::Absent; break;
            default: FSavedState = Saved::Unknown; break;
        }
    }
}

THotSyncManager::~THotSyncManager() {
    CloseHotSync();
    UnregisterNotifiers();
    RestoreBackupConduit();
    RestartHotSync();
    // A HotSync Manager started and left running is the user's now; its handles are not.
    if (FProcessInfo.process) desktop_->CloseProcess(FProcessInfo);
}

bool THotSyncManager::HotSyncExists() {
    return !FHotSyncPath.empty() && desktop_->FileExists(FHotSyncPath);
}

std::string THotSyncManager::GetComPort() const {
    return FComPort.empty() ? kDefaultComPort : FComPort;
}

bool THotSyncManager::IsHotSyncRunning() { return desktop_->FindTopWindow(kMainTitle) != nullptr; }

void THotSyncManager::WaitForHotSyncDialogs() {
    DesktopEdge::Window problem = nullptr;
    for (const char* title : kProblemTitles)
        if ((problem = desktop_->FindTopWindow(title))) break;
    // The user must answer HotSync Manager's report; until then it is kept in sight.
    while (problem && desktop_->WindowExists(problem)) {
        desktop_->BringToTop(problem);
        desktop_->ProcessMessages();
        desktop_->Sleep(kDialogPollMs);
    }
    const auto logOpen = [this] {
        return std::any_of(std::begin(kLogTitles), std::end(kLogTitles),
                           [this](const char* title) { return desktop_->FindTopWindow(title); });
    };
    while (logOpen()) {
        desktop_->ProcessMessages();
        desktop_->Sleep(kDialogPollMs);
    }
}

DesktopEdge::Window THotSyncManager::WaitForStartedWindow() {
    const uint32_t start = desktop_->TickCount();
    uint32_t code = 0;
    while (desktop_->TickCount() - start <= kExitWaitMs && desktop_->ExitCode(FProcessInfo, code) &&
           code == kStillActive) {
        desktop_->ProcessMessages();
        if (DesktopEdge::Window window = desktop_->FindTopWindow(kMainTitle)) return window;
        desktop_->Sleep(kExitPollMs);
    }
    return desktop_->FindTopWindow(kMainTitle);
}

void THotSyncManager::CloseHotSync() {
    WaitForHotSyncDialogs();
    FWindow = desktop_->FindTopWindow(kMainTitle);
    // One this run started a moment ago may not show its window yet; it must not be left
    // running for the want of one.
    if (!FWindow && FProcessInfo.process) FWindow = WaitForStartedWindow();
    if (!FWindow) return;
    ++FClosedCount;
    desktop_->Send(FWindow, kExitMessage, kExitWParam, kExitLParam);
    if (!FProcessInfo.process) return;
    // Ours: wait a little for it to go, and it does not count as found running.
    const uint32_t start = desktop_->TickCount();
    uint32_t code = 0;
    while (desktop_->TickCount() - start <= kExitWaitMs && desktop_->ExitCode(FProcessInfo, code)) {
        desktop_->ProcessMessages();
        if (code != kStillActive) break;
        desktop_->Sleep(kExitPollMs);
    }
    desktop_->CloseProcess(FProcessInfo);
    --FClosedCount;
}

bool THotSyncManager::StartHotSync() {
    FWindow = desktop_->FindTopWindow(kMainTitle);
    if (FWindow) return false;
    DesktopEdge::Process process;
    if (!desktop_->StartProcess(FHotSyncPath, Folder(FHotSyncPath), process)) return false;
    // Only the last one started is held; an earlier one's handles are not needed any more.
    if (FProcessInfo.process) desktop_->CloseProcess(FProcessInfo);
    FProcessInfo = process;
    return true;
}

bool THotSyncManager::IsSyncInProgress() {
    const uint32_t status = desktop_->SyncStatus(FHotSyncPath);
    if (status == 0) return false;
    if (status == kBusy) return true;
    return desktop_->FindTopWindow(kProgressTitle) != nullptr;
}

void THotSyncManager::ShowSyncProgress() {
    if (DesktopEdge::Window progress = desktop_->FindTopWindow(kProgressTitle))
        desktop_->BringToTop(progress);
}

void THotSyncManager::RestartHotSync() {
    if (FClosedCount <= 0 || !FDesktopFound) return;
    if (FProcessInfo.process) CloseHotSync();
    if (IsEasySyncInstalled()) {
        boxes_->Show(kEasySyncText, kEasySyncCaption, mb::Ok | mb::IconInformation);
        return;
    }
    StartHotSync();
}

bool THotSyncManager::IsEasySyncInstalled() {
    for (const char* root : palmdesktop::kVendorRoots) {
        std::string path = root;
        path.pop_back();  // the root key itself, without its trailing backslash
        auto key = registry_->OpenCurrentUser(path);
        if (!key) continue;
        const std::vector<std::string> names = key->SubkeyNames();
        key.reset();
        for (const std::string& name : names) {
            auto sub = registry_->OpenCurrentUser(std::string(root) + name);
            std::string conduit;
            if (sub && sub->ReadText(kConduitValue, conduit) == RegistryRead::Ok &&
                conduit == kEasySyncConduit)
                return true;
        }
        return false;
    }
    return false;
}

void THotSyncManager::RegisterNotifier(const std::string& path) {
    if (!desktop_->FileExists(path)) throw EInvalidOperation(kMissingFile + path);
    if (std::find(FNotifiers.begin(), FNotifiers.end(), path) != FNotifiers.end()) return;
    FNotifiers.push_back(path);
    auto key = palmdesktop::OpenFirstKey(*registry_, palmdesktop::kHotSyncManager);
    if (!key) return;
    for (int n = 0; n < kNotifierNames; ++n) {
        RegistryValue existing;
        if (key->ReadValue(NotifierName(n), existing) == RegistryRead::Missing) {
            key->WriteText(NotifierName(n), path);
            return;
        }
    }
}

void THotSyncManager::UnregisterNotifiers() {
    for (const std::string& path : FNotifiers) {
        auto key = palmdesktop::OpenFirstKey(*registry_, palmdesktop::kHotSyncManager);
        if (!key) continue;
        for (int n = 0; n < kNotifierNames; ++n) {
            std::string text;
            // Only a text value equal to the path is ours; anything else is left alone.
            if (key->ReadText(NotifierName(n), text) == RegistryRead::Ok && text == path) {
                key->DeleteValue(NotifierName(n));
                break;
            }
        }
    }
    FNotifiers.clear();
}

void THotSyncManager::SetBackupConduit(const std::string& path) {
    if (!desktop_->FileExists(path)) throw EInvalidOperation(kMissingFile + path);
    // What could not be read at start could not be put back; it is not replaced either.
    if (FSavedState == Saved::Unknown) return;
    if (auto key = palmdesktop::OpenFirstKey(*registry_, palmdesktop::kHotSyncManager))
        key->WriteText(kBackupConduitValue, path);
}

void THotSyncManager::RestoreBackupConduit() {
    if (FSavedState == Saved::Unknown) return;
    auto key = palmdesktop::OpenFirstKey(*registry_, palmdesktop::kHotSyncManager);
    if (!key) return;
    if (FSavedState == Saved::Absent) {
        key->DeleteValue(kBackupConduitValue);
    } else {
        // As it was found, of whatever type: a value that was not text is put back as it was.
        key->WriteValue(FSavedBackupConduit);
    }
}
