#include <windows.h>

#include "support/LanguageEdge.h"

namespace {

// Capacity, terminator included, of the buffer the language code is read into.
constexpr int kLanguageCodeCapacity = 5;

class Win32Languages final : public LanguageEdge {
public:
    std::string LanguageCode(int languageId) override {
        char code[kLanguageCodeCapacity] = {};
        if (GetLocaleInfoA(static_cast<LCID>(languageId), LOCALE_SABBREVLANGNAME, code,
                           kLanguageCodeCapacity) <= 0)
            return {};
        return code;
    }

    void* LoadDataModule(const std::string& fileName) override {
        // No "cannot find" box from the system while we probe for a module that may not exist.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        HMODULE module = LoadLibraryExA(fileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        SetErrorMode(oldMode);
        return module;
    }

    void FreeDataModule(void* module) override { FreeLibrary(static_cast<HMODULE>(module)); }
};

}  // namespace

std::unique_ptr<LanguageEdge> MakeLanguageEdge() { return std::make_unique<Win32Languages>(); }
