// kvrnotify.dll, the loader-staging notifier that HotSync Manager calls at the beginning and
// the end of a HotSync.
#include <windows.h>

#include <string>

#include "base/RegistryEdge.h"
#include "notifiers/AidesEdge.h"
#include "notifiers/Notifiers.h"

// instaide.dll 103, imported by ordinal only; stdcall like the library's other entries.
extern "C" __declspec(dllimport) LONG WINAPI QueueInstallFor(const char* user, const char* path);

namespace {

void QueueWithInstallAide(const std::string& user, const std::string& path) {
    QueueInstallFor(user.c_str(), path.c_str());
}

}  // namespace

// The exports, under their plain names through kvrnotify.def; stdcall (WINAPI), which is how
// HotSync Manager calls a notifier.
extern "C" {

LONG WINAPI HS_Notify(LONG code, DWORD data) {
    // Nothing may escape into HotSync Manager, whatever the registry or the libraries did.
    try {
        const auto aides = MakeAidesEdge(&QueueWithInstallAide);
        const auto registry = MakeRegistryEdge();
        return LoaderStagingNotify(code, data, *aides, *registry);
    } catch (...) {
        return 1;
    }
}

LONG WINAPI GetNotifierVersion() { return notifiers::kVersion; }

// Attach and detach: the runtime has set itself up by now; there is nothing of our own.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
