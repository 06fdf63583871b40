#include <string>

#include "base/StringTable.h"
#include "base/tests/TestStrings.h"

namespace teststrings {

namespace {
const std::string kLong(kLongLength, 'L');
const std::string kHuge(kHugeLength, 'H');
const std::string kFormat = "Error : %d " + std::string(kFormatTail, 'F');
const TStringRow kRows[] = {
    {kLongId, kLong.c_str()},
    {kHugeId, kHuge.c_str()},
    {kFormatId, kFormat.c_str()},
    {1002, ""},
};
TStringTable g_table{kRows, sizeof kRows / sizeof kRows[0]};
}  // namespace

void* Load() { return &g_table; }

void Release(void*) {}

}  // namespace teststrings
