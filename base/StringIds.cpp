#include "base/StringIds.h"

namespace {

// The wizard's texts and fallback, then the result codes' texts: one table of every
// string of the program.
constexpr TStringRow kEnglish[] = {
#define KESTREL_STRING(name, id, text) {id, text},
#include "base/StringIds.def"
#define KESTREL_RESULT(name, code, id, box, text) {id, text},
#include "base/ResultCodes.def"
};

}  // namespace

std::span<const TStringRow> EnglishStrings() { return kEnglish; }
