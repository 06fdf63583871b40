#include <windows.h>

#include "testing/RegistryTree.h"

namespace {

bool DeleteTree(const std::string& path) {
    // RegDeleteTree needs Vista; remove the subkeys one by one instead.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    char name[256];
    for (DWORD index = 0;;) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        // A subkey that stays would be listed first again for ever; step past it.
        if (!DeleteTree(path + "\\" + name)) ++index;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace

void DeleteRegistryTree(const std::string& path) { DeleteTree(path); }
