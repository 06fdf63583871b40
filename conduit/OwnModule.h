// The module the code that calls this is linked into: stashmate.dll in HotSync Manager, the
// test program in the tests. Its resources and its file are the conduit's own. Windows only.
#pragma once

#include <windows.h>

inline HMODULE OwnModule() {
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        &anchor, &module);
    return module;
}
