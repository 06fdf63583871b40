// Native builds have no resource files: a resource module is an in-memory string table,
// the program's own being the compiled-in English one, and a message box is a line on
// standard error answered with the box's default button.
#include <cstdio>

#include "support/ResourceModule.h"
#include "support/StringTable.h"
#include "support/Stringmgr.h"
#include "support/Stringmgr_edge.h"

namespace {

constexpr TStringRow kEnglishRows[] = {
#define KESTREL_STRING(id, text) {id, text},
#include "support/Strings_en.inc"
#undef KESTREL_STRING
};

TStringTable g_englishTable{kEnglishRows, sizeof kEnglishRows / sizeof kEnglishRows[0]};
void* g_resourceModule = nullptr;
unsigned long g_lastError = 0;

// The platform's "resource not found" error, so that a missing string reads the same way
// natively as on Windows.
constexpr unsigned long kResourceNotFound = 1814;

int DefaultButton(unsigned style) {
    switch (style & 0xF) {
        case mb::AbortRetryIgnore:
            return mb::IdAbort;
        case mb::YesNoCancel:
        case mb::YesNo:
            return mb::IdYes;
        case mb::RetryCancel:
            return mb::IdRetry;
        default:
            return mb::IdOk;
    }
}

}  // namespace

void* ResourceModule() { return g_resourceModule ? g_resourceModule : ProgramResourceModule(); }

void SetResourceModule(void* module) { g_resourceModule = module; }

void* ProgramResourceModule() { return &g_englishTable; }

namespace stringmgr_edge {

int FetchString(int id, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    const auto* table = static_cast<const TStringTable*>(ResourceModule());
    for (std::size_t i = 0; i < table->count; ++i) {
        const TStringRow& row = table->rows[i];
        if (row.id != id) continue;
        const int n = std::snprintf(buffer, static_cast<size_t>(size), "%s", row.text);
        const int kept = n < size ? n : size - 1;
        if (kept <= 0) g_lastError = kResourceNotFound;
        return kept < 0 ? 0 : kept;
    }
    g_lastError = kResourceNotFound;
    return 0;
}

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return DefaultButton(style);
}

unsigned long LastError() { return g_lastError; }

}  // namespace stringmgr_edge
