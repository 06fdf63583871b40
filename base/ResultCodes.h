// Result codes of the update engine: signed 16-bit, 0 for success, negative for failures.
// A 16-bit status word from the handheld's loader is a code of the same space. Every code
// and its message is written once, in base/ResultCodes.def.
#pragma once

#include <cstdint>
#include <span>

using TResult = int16_t;

namespace rc {
#define KESTREL_RESULT(name, code, id, box, text) constexpr TResult name = code;
#define KESTREL_RESULT_WITHOUT_TEXT(name, code, box) constexpr TResult name = code;
#include "base/ResultCodes.def"
}  // namespace rc

// One row of the message table: a code and the string id of its message.
struct TResultCodeRow {
    TResult code;
    int stringId;
};

// The message table, searched from the top: the first row with a code gives its message.
std::span<const TResultCodeRow> ResultCodeTable();

// The message of a code in the language in force. The text lives in one static buffer of
// 256 bytes that the next call overwrites.
const char* ErrorText(TResult code);

// The string id that ErrorText uses for a code, or the fallback id 2000 ("Error : %d").
int ErrorStringId(TResult code);

// The kind of error box a failed upload shows for a code (the column of ResultCodes.def);
// Other for a code the table does not hold.
enum class ErrorBox : uint8_t { File, Line, Other };
ErrorBox ErrorBoxOf(TResult code);
