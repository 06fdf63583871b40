// stashmate.dll, the backup conduit HotSync Manager runs during a HotSync. Its entries, under
// their plain names through stashmate.def, __stdcall as HotSync Manager calls them; nothing
// thrown inside may escape into HotSync Manager.
#include <windows.h>

#include <ctime>
#include <memory>
#include <new>
#include <string>

#include "base/SyncApi.h"
#include "base/SyncLayouts.h"
#include "conduit/BackupPass.h"
#include "conduit/BackupWindows.h"
#include "conduit/ConduitEntries.h"
#include "conduit/DesktopFiles.h"
#include "conduit/OwnModule.h"
#include "conduit/ScannerPlugin.h"
#include "conduit/SyncManager.h"
#include "conduit/VirusScan.h"
#include "conduit/WebClient.h"

namespace {

// This library's own file, wherever HotSync Manager loaded it from.
std::string OwnPath() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(OwnModule(), path, MAX_PATH);
    return std::string(path, length);
}

// The virus-scanner plug-in lives beside this library's file.
std::string PluginPath() {
    const std::string own = OwnPath();
    return own.substr(0, own.find_last_of("\\/") + 1) + kScannerPluginFile;
}

int32_t WriteBackupConduitValue(const std::string& file) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(HKEY_CURRENT_USER, conduit::kHotSyncManagerKey, 0,
                               KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key);
    if (error != ERROR_SUCCESS) return error;
    error =
        RegSetValueExA(key, "BackupConduit", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                       static_cast<DWORD>(file.size() + 1));
    RegCloseKey(key);
    return error;
}

}  // namespace

extern "C" {

LONG WINAPI OpenConduit(void* /*progress*/, void* properties) {
    if (!properties) return syncerr::kBadAnswer;
    try {
        const auto sync = MakeSyncManager();
        const auto log = MakeHotSyncLog();
        const auto files = MakeDesktopFiles();
        const auto windows = MakeBackupWindows();
        const auto plugin = MakeScannerPlugin(PluginPath());
        const auto web = MakeWebClient();
        PluginScanning scanning(*plugin, *web);
        ConduitWorld world{*sync,
                           *log,
                           *files,
                           *windows,
                           WriteBackupConduitValue,
                           [](uint32_t ms) { Sleep(ms); },
                           [] { return static_cast<uint32_t>(std::time(nullptr)); },
                           &scanning};
        return RunBackup(world, static_cast<const uint8_t*>(properties));
    } catch (const std::bad_alloc&) {
        return syncerr::kDesktopOutOfMemory;
    } catch (...) {
        return syncerr::kFatal;
    }
}

LONG WINAPI GetConduitName(char* name, WORD length) {
    return ConduitName(name, static_cast<int16_t>(length > 0x7FFF ? 0x7FFF : length));
}

DWORD WINAPI GetConduitVersion() { return conduit::kInterfaceVersion; }

LONG WINAPI GetConduitInfo(int kind, void* input, void* output, DWORD* size) {
    static_assert(sizeof(DWORD) == sizeof(uint32_t));
    return ConduitInfo(kind, input, output, reinterpret_cast<uint32_t*>(size));
}

LONG WINAPI ConfigureConduit(void* preferences) {
    if (!preferences) return -1;
    try {
        const auto dialog = MakeSyncActionDialog();
        return ConfigureSyncAction(static_cast<uint8_t*>(preferences), *dialog);
    } catch (...) {
        return -1;
    }
}

LONG WINAPI InstallStashmate() {
    try {
        return CmSetBackupConduit(OwnPath().c_str());
    } catch (...) {
        return -1;
    }
}

LONG WINAPI UninstallStashmate() { return CmSetBackupConduit(conduit::kDefaultBackupConduit); }

// The common library is set up once, when HotSync Manager loads the conduit.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) InitPdcmn5DLL();
    return TRUE;
}

}  // extern "C"
