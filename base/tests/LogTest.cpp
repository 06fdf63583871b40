#include "base/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = fs::temp_directory_path() / "kestrel_log_test.txt";
        fs::remove(path_);
    }
    void TearDown() override {
        CloseLog();
        SetLogThreshold(-1);
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    fs::path path_;
};

TEST_F(LogTest, ShippedThresholdFormatsNothing) {
    EXPECT_EQ(LogThreshold(), -1);
    PrintMessage(9, "marker %d", 1);
    const std::string before = LastLogLine();
    for (int level = 0; level <= 9; ++level) PrintMessage(level, "level %d", level);
    EXPECT_EQ(LastLogLine(), before);
}

TEST_F(LogTest, LinesUpToTheThresholdReachTheFile) {
    ASSERT_TRUE(OpenLogFile(path_.string().c_str()));
    SetLogThreshold(5);
    PrintMessage(5, "Bad Response: ctrl:%d id:%d size: %d", 1, 2, 3);
    PrintMessage(7, "sector %d", 4);
    PrintMessage(0, "%s", "first");
    CloseLog();
    EXPECT_EQ(ReadAll(path_), "Bad Response: ctrl:1 id:2 size: 3\nfirst\n");
    EXPECT_STREQ(LastLogLine(), "first");
}

}  // namespace
