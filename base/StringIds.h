// Numbers of the program's string table, by name: the wizard's texts and the fallback of
// base/StringIds.def. The result codes' texts are reached through their codes (ErrorText).
#pragma once

#include <span>

#include "base/StringTable.h"

namespace sid {
enum : int {
#define KESTREL_STRING(name, id, text) name = id,
#include "base/StringIds.def"
};
}  // namespace sid

// Every English text of the program, the wizard's and the result codes': the
// program's own string table wherever there are no resource files, and what tests hold
// translations against.
std::span<const TStringRow> EnglishStrings();
