#include <windows.h>

#include <string>

#include "base/tests/TestStrings.h"

namespace teststrings {

void* Load() {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::string path(self, n);
    path.erase(path.find_last_of("\\/") + 1);
    path += "kestrel_test_strings.dll";
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

void Release(void* module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace teststrings
