// The stand-in of HotSync Manager's condmgr.dll, the conduit manager: naming the library
// HotSync Manager runs as its backup conduit, in Palm Desktop's "HotSync Manager" key, which
// HotSync Manager reads when it starts.
#include <windows.h>

#include "base/PalmDesktopKeys.h"
#include "base/RegistryEdge.h"
#include "base/SyncApi.h"
#include "sim/hotsync/WorldSettings.h"

extern "C" {

// Ordinal 82: "BackupConduit" becomes `path`, under the first vendor root where the key opens;
// the key is never made, as Palm Desktop's installation makes it.
int32_t KESTREL_STDCALL CmSetBackupConduit(const char* path) {
    if (!path || !*path) return hsworld::kBadArgument;
    try {
        const auto registry = MakeRegistryEdge();
        const auto key = palmdesktop::OpenFirstKey(*registry, palmdesktop::kHotSyncManager);
        if (!key) return hsworld::kMissing;
        return key->WriteText("BackupConduit", path) ? hsworld::kOk : hsworld::kFileError;
    } catch (...) {
        return hsworld::kFileError;
    }
}

}  // extern "C"
