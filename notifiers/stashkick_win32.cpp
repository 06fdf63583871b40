// stashkick.dll, the marker-clearing notifier: kvrnotify.dll without the loader. It never
// queues a file, so it does not import instaide.dll's queue call at all.
#include <windows.h>

#include "base/RegistryEdge.h"
#include "notifiers/AidesEdge.h"
#include "notifiers/Notifiers.h"

// The exports, under their plain names through stashkick.def; stdcall (WINAPI), which is how
// HotSync Manager calls a notifier.
extern "C" {

LONG WINAPI HS_Notify(LONG code, DWORD data) {
    // Nothing may escape into HotSync Manager, whatever the registry or the libraries did.
    try {
        const auto aides = MakeAidesEdge(nullptr);
        const auto registry = MakeRegistryEdge();
        return MarkerClearingNotify(code, data, *aides, *registry);
    } catch (...) {
        return 1;
    }
}

LONG WINAPI GetNotifierVersion() { return notifiers::kVersion; }

// Attach and detach: the runtime has set itself up by now; there is nothing of our own.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
