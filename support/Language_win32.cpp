#include <windows.h>

#include "support/Language_edge.h"

namespace language_edge {

std::string LanguageCode(int languageId) {
    char code[kLanguageCodeCapacity] = {};
    if (GetLocaleInfoA(static_cast<LCID>(languageId), LOCALE_SABBREVLANGNAME, code,
                       kLanguageCodeCapacity) <= 0)
        return {};
    return code;
}

void* LoadDataModule(const std::string& fileName) {
    // No "cannot find" box from the system while we probe for a module that may not exist.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExA(fileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetErrorMode(oldMode);
    return module;
}

void FreeDataModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace language_edge
