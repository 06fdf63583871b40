// How wizdriver's scripts are read: captions with spaces, tabs, escapes, Windows paths, and
// the ways of naming a control and a time.
#include "tests/e2e/driver/Script.h"

#include <gtest/gtest.h>

namespace {

using namespace wizard::script;
using Strings = std::vector<std::string>;

TEST(Script, SplitsLinesIntoWords) {
    const struct {
        const char* line;
        Strings words;
    } cases[] = {
        {"wait Welcome", {"wait", "Welcome"}},
        {"  press   \"HotSync Wizard\"  \"&Next >\"  5 ",
         {"press", "HotSync Wizard", "&Next >", "5"}},
        {"box \"\" 5", {"box", "", "5"}},
        {"text \"a \\\"quoted\\\" word\" x", {"text", "a \"quoted\" word", "x"}},
        {"box \"Probl\\xE8me\"", {"box", "Probl\xE8me"}},
        {"expect W #1 \"two\\nlines\\tand tab\"", {"expect", "W", "#1", "two\nlines\tand tab"}},
        // Outside quotes a backslash is a plain character; inside, one escaping nothing too.
        {"shot W C:\\temp\\x.png", {"shot", "W", "C:\\temp\\x.png"}},
        {"shot W \"C:\\Kit Files\\y.png\"", {"shot", "W", "C:\\Kit Files\\y.png"}},
        {"shot W \"C:\\\\new\\\\z.png\"", {"shot", "W", "C:\\new\\z.png"}},
        {"box \"\\xZZ\"", {"box", "\\xZZ"}},
        {"press ab\"c d\"e", {"press", "abc de"}},
        // A line with a tab is split at tabs only; runs of tabs are one separator.
        {"press\tHotSync Wizard\t\t\"&Next >\"", {"press", "HotSync Wizard", "\"&Next >\""}},
        {"  type\tW\t#5\tAnn Smith\r\n", {"type", "W", "#5", "Ann Smith"}},
        {"wait Welcome\r", {"wait", "Welcome"}},
        {"", {}},
        {"   ", {}},
        {"# a comment \"open", {}},
        {"#wait Welcome", {}},
    };
    for (const auto& c : cases) {
        const Words words = Split(c.line);
        EXPECT_EQ(words.error, "") << c.line;
        EXPECT_EQ(words.words, c.words) << c.line;
    }
}

TEST(Script, AnOpenQuoteIsAnError) {
    EXPECT_EQ(Split("wait \"HotSync Wizard").error, "the quote opened at column 6 is not closed");
    EXPECT_NE(Split("wait \"a\\\"").error, "");
}

TEST(Script, QuotedTextsReadBackAsThemselves) {
    for (const std::string& text :
         {std::string("&Next >"), std::string("say \"hi\"\\now"), std::string("a\nb\tc\rd"),
          std::string("Probl\xE8me"), std::string("\x01\x7F")}) {
        const Words words = Split("text " + Quote(text));
        ASSERT_EQ(words.words.size(), 2u) << Quote(text);
        EXPECT_EQ(words.words[1], text);
    }
    EXPECT_EQ(Quote("a\nb\r\"c\"\xE8"), "\"a\\nb\\x0D\\\"c\\\"\xE8\"");
}

TEST(Script, NamesControlsByTextIdAndClass) {
    const struct {
        const char* word;
        std::string text;
        std::optional<int> id;
        std::string className;
    } cases[] = {
        {"&Next >", "&Next >", std::nullopt, ""},
        {"#1001", "", 1001, ""},
        {"#0x3E9", "", 1001, ""},
        {"[Edit]#1001", "", 1001, "Edit"},
        {"[Button]&OK", "&OK", std::nullopt, "Button"},
        {"=#1 choice", "#1 choice", std::nullopt, ""},
        {"[Static]=[x]", "[x]", std::nullopt, "Static"},
        {"#", "#", std::nullopt, ""},
        {"#12a", "#12a", std::nullopt, ""},
        {"#-1", "#-1", std::nullopt, ""},
        {"[]x", "[]x", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const wizard::ControlRef control = ParseControl(c.word);
        EXPECT_EQ(control.text, c.text) << c.word;
        EXPECT_EQ(control.id, c.id) << c.word;
        EXPECT_EQ(control.className, c.className) << c.word;
    }
}

TEST(Script, ReadsSeconds) {
    EXPECT_EQ(ParseSeconds("10"), wizard::Milliseconds(10000));
    EXPECT_EQ(ParseSeconds("0.25"), wizard::Milliseconds(250));
    EXPECT_EQ(ParseSeconds(".5"), wizard::Milliseconds(500));
    EXPECT_EQ(ParseSeconds("0"), wizard::Milliseconds(0));
    for (const char* bad : {"", "-1", "ten", "5s", "1e9", "nan", "inf"})
        EXPECT_EQ(ParseSeconds(bad), std::nullopt) << bad;
}

}  // namespace
