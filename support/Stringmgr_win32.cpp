#include <windows.h>

#include "support/ResourceModule.h"
#include "support/Stringmgr_edge.h"

namespace {
HINSTANCE g_resourceModule = nullptr;
}

void* ResourceModule() {
    return g_resourceModule ? g_resourceModule : GetModuleHandleA(nullptr);
}

void SetResourceModule(void* module) { g_resourceModule = static_cast<HINSTANCE>(module); }

namespace stringmgr_edge {

int FetchString(int id, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    return LoadStringA(static_cast<HINSTANCE>(ResourceModule()), static_cast<UINT>(id), buffer,
                       size);
}

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(GetActiveWindow(), text, caption, style);
}

unsigned long LastError() { return GetLastError(); }

}  // namespace stringmgr_edge
