// Rules the two text tables (base/StringIds.def, base/ResultCodes.def) must keep, whatever
// rows are added: each text has one id, the ranges stay apart, and every code a user can
// meet reads as something.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "base/ResultCodes.h"
#include "base/StringIds.h"

namespace {

struct Code {
    const char* name;
    TResult code;
    int id;  // 0 for a code without a row
};

constexpr Code kCodes[] = {
#define KESTREL_RESULT(name, code, id, box, text) {#name, code, id},
#define KESTREL_RESULT_WITHOUT_TEXT(name, code, box) {#name, code, 0},
#include "base/ResultCodes.def"
};

TEST(StringTables, NoTwoStringsShareAnId) {
    std::map<int, int> uses;
    for (const TStringRow& row : EnglishStrings()) ++uses[row.id];
    for (const auto& [id, count] : uses) EXPECT_EQ(count, 1) << "string id " << id;
}

TEST(StringTables, WizardTextsAndResultTextsKeepTheirRanges) {
    std::set<int> resultIds;
    for (const Code& c : kCodes)
        if (c.id) {
            resultIds.insert(c.id);
            EXPECT_TRUE(c.id >= 1000 && c.id < 2000) << c.name << " " << c.id;
        }
    for (const TStringRow& row : EnglishStrings()) {
        if (resultIds.count(row.id)) continue;
        EXPECT_TRUE((row.id >= 100 && row.id < 1000) || row.id == sid::ErrorFallback) << row.id;
        EXPECT_NE(std::string(row.text), "") << row.id;
    }
}

TEST(StringTables, EveryCodeReadsAsItsTextOrTheFallback) {
    // A code without a row must not be shadowed by a row of the same value: its text would
    // then be another code's message.
    for (const Code& c : kCodes) {
        if (c.id == 0) {
            EXPECT_EQ(ErrorStringId(c.code), sid::ErrorFallback) << c.name;
            EXPECT_EQ(std::string(ErrorText(c.code)), "Error : " + std::to_string(c.code));
        } else {
            EXPECT_NE(std::string(ErrorText(c.code)), "") << c.name;
        }
    }
}

}  // namespace
