#include "base/Stringmgr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/Exceptions.h"
#include "base/StringIds.h"
#include "base/tests/TestStrings.h"

namespace {

// Puts the test string module in force for one test.
using WithTestStrings = teststrings::InForce;

// A message box that records what it would show and answers with a fixed button.
struct BoxRecord {
    std::vector<std::tuple<std::string, std::string, unsigned>> boxes;
    int answer = mb::IdNo;
};

class RecordingBoxes final : public MessageBoxEdge {
public:
    explicit RecordingBoxes(BoxRecord& record) : record_(record) {}
    int Show(const char* text, const char* caption, unsigned style) override {
        record_.boxes.emplace_back(text, caption, style);
        return record_.answer;
    }

private:
    BoxRecord& record_;
};

// A string manager of its own on the platform's strings, with its boxes recorded.
struct BoxRecorder : BoxRecord {
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
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(std::get<0>(recorder.boxes[0]), StringManager().GetString(sid::AbortQuestion));
    EXPECT_EQ(std::get<1>(recorder.boxes[0]), "Warning");
    EXPECT_EQ(std::get<2>(recorder.boxes[0]), mb::YesNo | mb::IconExclamation);
}

TEST(StringManager, MessageBoxKeepsATextTakenFromTheSharedBuffer) {
    BoxRecorder recorder;
    // The caller passes the fetched text without copying it; fetching the caption reuses
    // the same buffer.
    const char* text = recorder.manager.GetString(sid::UploadAborted);
    EXPECT_EQ(recorder.manager.MsgBox(text, sid::UploadAbortedCaption, mb::Ok | mb::IconStop),
              mb::IdNo);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(std::get<0>(recorder.boxes[0]), "Upload aborted by user.");
    EXPECT_EQ(std::get<1>(recorder.boxes[0]), "Error");
}

TEST(StringManager, MessageBoxWithMissingStringShowsNothing) {
    BoxRecorder recorder;
    EXPECT_THROW(recorder.manager.MsgBox(sid::AbortQuestion, 99, mb::Ok), EOSError);
    EXPECT_THROW(recorder.manager.MsgBox(99, sid::AbortQuestionCaption, mb::Ok), EOSError);
    EXPECT_THROW(recorder.manager.MsgBox("text", 99, mb::Ok), EOSError);
    EXPECT_TRUE(recorder.boxes.empty());
}

}  // namespace
