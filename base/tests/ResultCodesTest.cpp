#include "base/ResultCodes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/Stringmgr.h"
#include "base/tests/TestStrings.h"

namespace {

TEST(ErrorText, CodesGiveTheirMessages) {
    struct Case {
        TResult code;
        const char* text;
    };
    const Case cases[] = {
        {0, "SUCCESS"},  // the first of the two rows with code 0
        // Loader status words arrive as unsigned 16-bit values.
        {static_cast<TResult>(0xFF9C), "Flash Erase Error"},
        {static_cast<TResult>(0xFF9B), "Flash Write Error"},
        {static_cast<TResult>(0xFF98), "Invalid Flash ID Error"},
        {700, "Receiving packet"},
        {-306, "Out Of Memory"},
        {-904, "Internal Error: not connect to Pilot"},
        {-1201, "Error : -1201"},  // no row of its own
        {-1, "Error : -1"},
        {32767, "Error : 32767"},
        {-32768, "Error : -32768"},
    };
    for (const Case& c : cases) EXPECT_STREQ(ErrorText(c.code), c.text) << c.code;
}

TEST(ErrorText, TableRowsRunInStringOrder) {
    const auto table = ResultCodeTable();
    // The 61 rows of the engine's codes, the five of the whole-file check and the two of the
    // flash store's judgement.
    ASSERT_EQ(table.size(), 68u);
    // Spot rows: the ends, and the codes the handheld sends as status words.
    EXPECT_EQ(table.front().code, 0);
    EXPECT_EQ(table.front().stringId, 1000);
    EXPECT_EQ(table.back().code, rc::StoreOutsideFlash);
    EXPECT_EQ(table.back().stringId, 1912);
    EXPECT_EQ(rc::FlashEraseError, static_cast<TResult>(0xFF9C));
    EXPECT_EQ(rc::InvalidFlashId, static_cast<TResult>(0xFF98));
    // The rows run in ascending string order, and every id has a text in force.
    for (size_t i = 0; i < table.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].stringId, table[i].stringId) << "row " << i;
        }
        EXPECT_NE(StringManager().TryGetString(table[i].stringId), nullptr) << table[i].stringId;
    }
}

TEST(ErrorText, FirstRowWithACodeWins) {
    const auto table = ResultCodeTable();
    std::set<TResult> seen;
    for (const TResultCodeRow& row : table) {
        if (seen.insert(row.code).second) {
            EXPECT_EQ(ErrorStringId(row.code), row.stringId) << row.code;
        } else {
            EXPECT_NE(ErrorStringId(row.code), row.stringId) << row.code;  // shadowed row
        }
    }
    EXPECT_EQ(ErrorStringId(0), 1000);
    EXPECT_EQ(ErrorStringId(rc::NoEngine), 2000);
}

// Texts longer than the buffer, from the test string module.
using ErrorTextCut = teststrings::InForce;

TEST_F(ErrorTextCut, LongTextIsCutTo255) {
    EXPECT_EQ(std::string(ErrorText(0)), std::string(255, 'L'));
    const std::string formatted = ErrorText(-1201);
    EXPECT_EQ(formatted.size(), 255u);
    EXPECT_EQ(formatted.rfind("Error : -1201 FFF", 0), 0u) << formatted;
}

TEST_F(ErrorTextCut, MissingTextIsEmpty) {
    // The module holds no string 1503 ("Flash Erase Error").
    EXPECT_STREQ(ErrorText(-100), "");
}

}  // namespace
