// The language modules' string tables as rows, for the tests that hold them against the
// English texts and against what each module hands out.
#pragma once

#include <iterator>

#include "base/StringTable.h"

inline constexpr TStringRow kGerman[] = {
#define KESTREL_TRANSLATION(id, text) {id, text},
#include "app/lang/Strings_de.inc"
#undef KESTREL_TRANSLATION
};

inline constexpr TStringRow kFrench[] = {
#define KESTREL_TRANSLATION(id, text) {id, text},
#include "app/lang/Strings_fr.inc"
#undef KESTREL_TRANSLATION
};

struct TTranslation {
    const char* language;  // the command-line keyword that selects it
    TStringTable table;
};

inline constexpr TTranslation kTranslations[] = {
    {"GERMAN", {kGerman, std::size(kGerman)}},
    {"FRENCH", {kFrench, std::size(kFrench)}},
};
