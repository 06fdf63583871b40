#include "support/Stringmgr.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/Exceptions.h"
#include "support/tests/TestStrings.h"

namespace {

struct EnglishRow {
    int id;
    const char* text;
};

constexpr EnglishRow kEnglish[] = {
#define KESTREL_STRING(id, text) {id, text},
#include "support/Strings_en.inc"
#undef KESTREL_STRING
};

// Puts the test string module in force for one test.
using WithTestStrings = teststrings::InForce;

// Records the boxes that would be shown and answers with a fixed button.
struct BoxRecorder {
    std::vector<std::tuple<std::string, std::string, unsigned>> boxes;
    int answer = mb::IdNo;
    TMessageBoxPresenter previous;

    BoxRecorder() {
        previous =
            SetMessageBoxPresenter([this](const char* text, const char* caption, unsigned style) {
                boxes.emplace_back(text, caption, style);
                return answer;
            });
    }
    ~BoxRecorder() { SetMessageBoxPresenter(previous); }
};

TEST(StringManager, EveryEnglishTextComesBackExactly) {
    // On Windows this also proves the resource compiler kept escapes such as "\n" intact.
    for (const EnglishRow& row : kEnglish)
        EXPECT_STREQ(StringManager().GetString(row.id), row.text) << "string " << row.id;
}

TEST(StringManager, MissingStringRaisesTheSystemError) {
    for (int id : {0, 99, 127, 1002, 1999, 4095}) {
        EXPECT_EQ(StringManager().TryGetString(id), nullptr) << id;
        try {
            StringManager().GetString(id);
            ADD_FAILURE() << "no error for missing string " << id;
        } catch (const EOSError& e) {
            EXPECT_NE(e.ErrorCode(), 0u) << id;
            EXPECT_NE(std::string(e.what()).find(std::to_string(e.ErrorCode())), std::string::npos);
        }
    }
}

TEST_F(WithTestStrings, LongTextIsCutToTheSharedBuffer) {
    const std::string text = StringManager().GetString(teststrings::kHugeId);
    EXPECT_EQ(text, std::string(kStringBufferSize - 1, 'H'));
    EXPECT_EQ(StringManager().GetString(teststrings::kLongId),
              std::string(teststrings::kLongLength, 'L'));
}

TEST_F(WithTestStrings, EmptyStringCountsAsMissing) {
    EXPECT_THROW(StringManager().GetString(1002), EOSError);
}

TEST(StringManager, MessageBoxFromIdsShowsTextUnderCaption) {
    BoxRecorder recorder;
    recorder.answer = mb::IdYes;
    EXPECT_EQ(StringManager().MsgBox(146, 147, mb::YesNo | mb::IconExclamation), mb::IdYes);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(std::get<0>(recorder.boxes[0]), StringManager().GetString(146));
    EXPECT_EQ(std::get<1>(recorder.boxes[0]), "Warning");
    EXPECT_EQ(std::get<2>(recorder.boxes[0]), mb::YesNo | mb::IconExclamation);
}

TEST(StringManager, MessageBoxKeepsATextTakenFromTheSharedBuffer) {
    BoxRecorder recorder;
    // The caller passes the fetched text without copying it; fetching the caption reuses
    // the same buffer.
    const char* text = StringManager().GetString(144);
    EXPECT_EQ(StringManager().MsgBox(text, 145, mb::Ok | mb::IconStop), mb::IdNo);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(std::get<0>(recorder.boxes[0]), "Upload aborted by user.");
    EXPECT_EQ(std::get<1>(recorder.boxes[0]), "Error");
}

TEST(StringManager, MessageBoxWithMissingStringShowsNothing) {
    BoxRecorder recorder;
    EXPECT_THROW(StringManager().MsgBox(146, 99, mb::Ok), EOSError);
    EXPECT_THROW(StringManager().MsgBox(99, 147, mb::Ok), EOSError);
    EXPECT_THROW(StringManager().MsgBox("text", 99, mb::Ok), EOSError);
    EXPECT_TRUE(recorder.boxes.empty());
}

}  // namespace
