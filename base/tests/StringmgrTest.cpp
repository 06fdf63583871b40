#include "base/Stringmgr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/Exceptions.h"
#include "base/StringIds.h"
#include "base/tests/TestStrings.h"
#include "testing/RecordingBoxes.h"

namespace {

// Puts the test string module in force for one test.
using WithTestStrings = teststrings::InForce;

// A string manager of its own on the platform's strings, with its boxes recorded; they are
// answered with No unless a test says otherwise.
struct BoxRecorder : BoxRecord {
    BoxRecorder() { answer = mb::IdNo; }
    TStringManager manager{MakeStringTableEdge(), std::make_unique<RecordingBoxes>(*this)};
};

TEST(StringManager, EveryEnglishTextComesBackExactly) {
    // On Windows this also proves the resource compiler kept escapes such as "\n" intact.
    for (const TStringRow& row : EnglishStrings())
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
    EXPECT_EQ(recorder.manager.MsgBox(sid::AbortQuestion, sid::AbortQuestionCaption,
                                      mb::YesNo | mb::IconExclamation),
              mb::IdYes);
    ASSERT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.shown[0].text, StringManager().GetString(sid::AbortQuestion));
    EXPECT_EQ(recorder.shown[0].caption, "Warning");
    EXPECT_EQ(recorder.shown[0].style, mb::YesNo | mb::IconExclamation);
}

TEST(StringManager, MessageBoxKeepsATextTakenFromTheSharedBuffer) {
    BoxRecorder recorder;
    // The caller passes the fetched text without copying it; fetching the caption reuses
    // the same buffer.
    const char* text = recorder.manager.GetString(sid::UploadAborted);
    EXPECT_EQ(recorder.manager.MsgBox(text, sid::UploadAbortedCaption, mb::Ok | mb::IconStop),
              mb::IdNo);
    ASSERT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.shown[0].text, "Upload aborted by user.");
    EXPECT_EQ(recorder.shown[0].caption, "Error");
}

TEST(StringManager, MessageBoxWithMissingStringShowsNothing) {
    BoxRecorder recorder;
    EXPECT_THROW(recorder.manager.MsgBox(sid::AbortQuestion, 99, mb::Ok), EOSError);
    EXPECT_THROW(recorder.manager.MsgBox(99, sid::AbortQuestionCaption, mb::Ok), EOSError);
    EXPECT_THROW(recorder.manager.MsgBox("text", 99, mb::Ok), EOSError);
    EXPECT_TRUE(recorder.shown.empty());
}

}  // namespace
