#include "base/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, UpperCaseTouchesOnlyAsciiLetters) {
    EXPECT_EQ(UpperCase("-h x.upd German"), "-H X.UPD GERMAN");
    // Bytes of other code pages pass unchanged (and must not trip a signed-char lookup).
    EXPECT_EQ(UpperCase("gr\xFC\xDF"), "GR\xFC\xDF");
    EXPECT_EQ(UpperCase(""), "");
}

TEST(Text, CompareIgnoresCaseAndOrdersPrefixesFirst) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"A.upd", "a.UPD", 0}, {"A.upd", "b.UPD", -1}, {"c.upd", "B.upd", 1}, {"abc", "abcd", -1},
        {"", "", 0},           {"Z", "_", -1},  // as upper-case bytes
    };
    for (const Case& c : cases) {
        const int r = CompareTextIgnoreCase(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(Text, WildcardsMatchLikeTheWindowsSearch) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"b.UPD", "*.upd", true},      {"A.upd", "*.UPD", true},
        {"x.UPDATE", "*.UPD", false},  {"notes.txt", "*.upd", false},
        {"README", "*.*", true},  // "*.*" means every name, dotted or not
        {"a.b.c", "*.*", true},        {"", "*", true},
        {"a1.upd", "a?.upd", true},    {"a.upd", "a?.upd", false},
        {"m500.upd", "m*0.UPD", true}, {"m500.upd.bak", "*.upd", false},
        {"aaaab", "*a*b", true},       {"new.upd", "new.upd", true},
        {"new.upd", "NEW.UPD", true},  {"newer.upd", "new.upd", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
}

}  // namespace
