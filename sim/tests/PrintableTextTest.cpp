#include "sim/PrintableText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PrintableText, ShowsWhatATerminalWouldObeyAndCutsLongText) {
    const struct {
        const char* catches;
        std::string text;
        size_t most;
        std::string shown;
    } rows[] = {
        {"plain text as it is", "Memo DB = 3", 240, "Memo DB = 3"},
        {"an escape sequence that would clear the screen", "a\x1b[2Jb", 240, "a\\x1B[2Jb"},
        {"a line break that would forge a line of output", "x\r\ny\t", 240, "x\\x0D\\x0Ay\\x09"},
        {"DEL and NUL", std::string("\x7f\0z", 3), 240, "\\x7F\\x00z"},
        {"UTF-8 letters stay", "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", 240,
         "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"a C1 control in UTF-8 (CSI) is obeyed by terminals",
         "\xc2\x9b"
         "2J",
         240, "\\xC2\\x9B2J"},
        {"a Latin-1 byte, a cut sequence, an overlong slash, a surrogate",
         "\xe9|\xe2\x82|\xc0\xaf|\xed\xa0\x80", 240, "\\xE9|\\xE2\\x82|\\xC0\\xAF|\\xED\\xA0\\x80"},
        {"cut after the limit", std::string(300, 'x'), 10, "xxxxxxxxxx..."},
        {"an escape is never cut in half", "abcdefgh\x01z", 10, "abcdefgh..."},
        {"a character is never cut in half", "abcdefghi\xc3\xa9", 10, "abcdefghi..."},
        {"text that fits exactly is not cut", "abcdefghij", 10, "abcdefghij"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        EXPECT_EQ(Printable(row.text, row.most), row.shown);
    }
}

}  // namespace
