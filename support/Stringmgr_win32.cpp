#include <windows.h>

#include "support/ResourceModule.h"
#include "support/Stringmgr_edge.h"

namespace {
HINSTANCE g_resourceModule = nullptr;
}

void* ResourceModule() { return g_resourceModule ? g_resourceModule : ProgramResourceModule(); }

void SetResourceModule(void* module) { g_resourceModule = static_cast<HINSTANCE>(module); }

void* ProgramResourceModule() { return GetModuleHandleA(nullptr); }

namespace stringmgr_edge {

int FetchString(int id, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    // An empty string is stored like a missing one, and LoadString may leave the last error
    // untouched for it; start from a clean slate so a stale code is not reported.
    SetLastError(ERROR_SUCCESS);
    const int n =
        LoadStringA(static_cast<HINSTANCE>(ResourceModule()), static_cast<UINT>(id), buffer, size);
    if (n <= 0 && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return n;
}

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(GetActiveWindow(), text, caption, style | MB_TASKMODAL);
}

unsigned long LastError() { return GetLastError(); }

}  // namespace stringmgr_edge
