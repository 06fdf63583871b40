// Native builds have no resource modules: the English table is compiled in, and a message
// box is a line on standard error answered with its default button.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/Stringmgr_edge.h"

namespace {

struct StringRow {
    int id;
    const char* text;
};

constexpr StringRow kStrings[] = {
#define KESTREL_STRING(id, text) {id, text},
#include "support/Strings_en.inc"
#undef KESTREL_STRING
};

unsigned long g_lastError = 0;

// The platform's "resource not found" error, so that a missing string reads the same way
// natively as on Windows.
constexpr unsigned long kResourceNotFound = 1814;

}  // namespace

namespace stringmgr_edge {

int FetchString(int id, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    for (const StringRow& row : kStrings) {
        if (row.id != id) continue;
        const int n = std::snprintf(buffer, static_cast<size_t>(size), "%s", row.text);
        const int kept = n < size ? n : size - 1;
        if (kept == 0) g_lastError = kResourceNotFound;
        return kept;
    }
    g_lastError = kResourceNotFound;
    return 0;
}

int ShowMessageBox(const char* text, const char* caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return 1;  // IDOK
}

unsigned long LastError() { return g_lastError; }

}  // namespace stringmgr_edge
