// The entries HotSync Manager calls in a notifier library, the same in both; what a library
// does on a notification is its kThisNotifier.
#include <windows.h>

#include "notifiers/NotifierLibrary.h"
#include "notifiers/Notifiers.h"

// The exports, under their plain names through the library's .def file; stdcall (WINAPI),
// which is how HotSync Manager calls a notifier.
extern "C" {

LONG WINAPI HS_Notify(LONG code, DWORD data) {
    // Nothing may escape into HotSync Manager, whatever the registry or the libraries did.
    try {
        const auto aides = MakeAidesEdge(kThisNotifier.queueInstall);
        const auto registry = MakeRegistryEdge();
        return kThisNotifier.notify(code, data, *aides, *registry);
    } catch (...) {
        return 1;
    }
}

LONG WINAPI GetNotifierVersion() { return notifiers::kVersion; }

// Attach and detach: the runtime has set itself up by now; there is nothing of our own.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
