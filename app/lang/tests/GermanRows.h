// The German translations as rows, for the tests that hold them against the English texts
// and against what the language module hands out.
#pragma once

#include "base/StringTable.h"

inline constexpr TStringRow kGerman[] = {
#define KESTREL_TRANSLATION(id, text) {id, text},
#include "app/lang/Strings_de.inc"
#undef KESTREL_TRANSLATION
};
