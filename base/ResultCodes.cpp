#include "base/ResultCodes.h"

#include <cstdio>
#include <cstring>

#include "base/StringIds.h"
#include "base/Stringmgr.h"

namespace {

constexpr TResultCodeRow kCodeTable[] = {
#define KESTREL_RESULT(name, code, id, box, text) {code, id},
#include "base/ResultCodes.def"
};

struct BoxRow {
    TResult code;
    ErrorBox box;
};
constexpr BoxRow kBoxes[] = {
#define KESTREL_RESULT(name, code, id, box, text) {code, ErrorBox::box},
#define KESTREL_RESULT_WITHOUT_TEXT(name, code, box) {code, ErrorBox::box},
#include "base/ResultCodes.def"
};

constexpr int kFallbackId = sid::ErrorFallback;

char g_errorText[256];

}  // namespace

std::span<const TResultCodeRow> ResultCodeTable() { return kCodeTable; }

int ErrorStringId(TResult code) {
    for (const TResultCodeRow& row : kCodeTable)
        if (row.code == code) return row.stringId;
    return kFallbackId;
}

ErrorBox ErrorBoxOf(TResult code) {
    for (const BoxRow& row : kBoxes)
        if (row.code == code) return row.box;
    return ErrorBox::Other;
}

const char* ErrorText(TResult code) {
    const int id = ErrorStringId(code);
    const char* text = StringManager().TryGetString(id);
    if (!text) text = "";
    if (id == kFallbackId) {
        // The fallback is a format with the code in signed decimal; it comes from the
        // string table (and may be translated), so it is used as a format only when it has
        // exactly one conversion and that one is %d.
        const char* conv = std::strchr(text, '%');
        const bool safe = conv && conv[1] == 'd' && !std::strchr(conv + 2, '%');
        if (safe)
            std::snprintf(g_errorText, sizeof g_errorText, text, static_cast<int>(code));
        else
            std::snprintf(g_errorText, sizeof g_errorText, "%s", text);
    } else {
        std::snprintf(g_errorText, sizeof g_errorText, "%s", text);
    }
    return g_errorText;
}
