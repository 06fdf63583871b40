#include "support/Filelist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Exceptions.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A fresh directory per test, removed afterwards.
class FileListTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() / (std::string("kestrel_filelist_") + info->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // The directory as the wizard passes it: ending in a separator.
    std::string Dir() const { return (root_ / "").string(); }
    void MakeFile(const std::string& name, size_t size = 0) const {
        std::ofstream(root_ / name, std::ios::binary) << std::string(size, 'x');
    }
    void MakeDir(const std::string& name) const { fs::create_directories(root_ / name); }

    static Names NamesOf(const TFileList& list) {
        Names names;
        for (const TFile& f : list.Entries()) names.push_back(f.name);
        return names;
    }

    fs::path root_;
};

// Records what a fill does to a list, in order.
class RecordingStrings : public TStrings {
public:
    void Clear() override { log += "clear;"; }
    int Add(const std::string& text) override {
        log += "add " + text + ";";
        return count_++;
    }
    int Count() const override { return count_; }
    std::string Get(int) const override { return {}; }
    void BeginUpdate() override { log += "begin;"; }
    void EndUpdate() override { log += "end;"; }
    std::string log;

private:
    int count_ = 0;
};

TEST_F(FileListTest, OnlySubDirectoriesMakeAnEmptyList) {
    MakeDir("one");
    MakeDir("two.upd");
    TFileList list(Dir(), "*.*");
    EXPECT_EQ(list.Scan(), 0);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(FileListTest, MatchesAreSortedIgnoringCase) {
    for (const char* name : {"c.upd", "b.UPD", "A.upd", "notes.txt"}) MakeFile(name);
    MakeDir("d.upd");  // a directory that matches is still left out
    TFileList list(Dir(), "*.upd");
    EXPECT_EQ(NamesOf(list), (Names{"A.upd", "b.UPD", "c.upd"}));
}

TEST_F(FileListTest, EmptyPatternMeansEveryFile) {
    for (const char* name : {"README", "b.upd", "a.txt"}) MakeFile(name);
    TFileList list(Dir(), "");
    EXPECT_EQ(list.Count(), 0);  // not scanned without a pattern
    EXPECT_EQ(list.Scan(), 0);
    EXPECT_EQ(NamesOf(list), (Names{"a.txt", "b.upd", "README"}));
}

TEST_F(FileListTest, MissingDirectoryGivesMinus2000AndAnEmptyList) {
    MakeFile("a.upd");
    TFileList list(Dir(), "*.upd");
    ASSERT_EQ(list.Count(), 1);
    fs::remove_all(root_);
    EXPECT_EQ(list.Scan(), rc::NoDirectory);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(TFileList((root_ / "nowhere" / "").string(), "*.*").Count(), 0);
}

TEST_F(FileListTest, DirectoryAndPatternAreJoinedAsGiven) {
    MakeFile("subA.upd");
    MakeDir("sub");
    MakeFile("sub/inner.upd");
    // Without a trailing separator the last part of the directory becomes part of the
    // pattern, as the file search reads the joined text.
    TFileList list((root_ / "sub").string(), "*.upd");
    EXPECT_EQ(NamesOf(list), (Names{"subA.upd"}));
}

TEST_F(FileListTest, EntriesDescribeTheFiles) {
    MakeFile("new.upd", 1234);
    TFileList list(Dir(), "NEW.UPD");
    ASSERT_EQ(list.Count(), 1);
    const TFile& file = list[0];
    EXPECT_EQ(file.name, "new.upd");
    EXPECT_EQ(file.size, 1234u);
    EXPECT_EQ(file.directory, Dir());
    EXPECT_EQ(file.attributes & 0x10u, 0u);  // not a directory
    const double y2020 = EncodeDateTime(2020, 1, 1, 0, 0, 0, 0);
    const double y2200 = EncodeDateTime(2200, 1, 1, 0, 0, 0, 0);
    for (double t : {file.creationTime, file.lastAccessTime, file.lastWriteTime}) {
        EXPECT_GT(t, y2020);
        EXPECT_LT(t, y2200);
    }
}

TEST_F(FileListTest, FillsWithOrWithoutExtensions) {
    for (const char* name : {"m500.upd", "archive.tar.gz", "README"}) MakeFile(name);
    const TFileList list(Dir(), "*.*");
    TStringList strings;
    strings.Add("left over");
    list.FillStringList(&strings, false);
    EXPECT_EQ(strings.Items(), (Names{"archive.tar.gz", "m500.upd", "README"}));
    list.FillStringList(&strings, true);
    EXPECT_EQ(strings.Items(), (Names{"archive.tar", "m500", "README"}));
}

TEST_F(FileListTest, ListBoxIsFilledAsOneBatch) {
    MakeFile("b.upd");
    MakeFile("a.upd");
    RecordingStrings items;
    TListBox listBox(items);
    TFileList(Dir(), "*.upd").FillListBox(&listBox, true);
    EXPECT_EQ(items.log, "begin;clear;add a;add b;end;");
}

TEST_F(FileListTest, MissingTargetsRaiseInvalidOperation) {
    const TFileList list;
    try {
        list.FillStringList(nullptr, true);
        ADD_FAILURE();
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "TFileList::FillStringList - list is NULL");
    }
    try {
        list.FillListBox(nullptr, true);
        ADD_FAILURE();
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "TFileList::FillListBox - listbox is NULL");
    }
}

TEST(FileList, StripExtensionCutsFromTheLastDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"m500.upd", "m500"}, {"a.b.c", "a.b"},          {"README", "README"},
        {".hidden", ""},      {"trailing.", "trailing"},
    };
    for (const auto& [name, stripped] : cases) EXPECT_EQ(StripExtension(name), stripped) << name;
}

TEST(FileList, DateTimesCountDaysFromTheEndOf1899) {
    struct Case {
        int y, mo, d, h, mi, s, ms;
        double value;
    };
    const Case cases[] = {
        {1899, 12, 30, 0, 0, 0, 0, 0.0},    {1900, 1, 1, 0, 0, 0, 0, 2.0},
        {2000, 1, 1, 12, 0, 0, 0, 36526.5}, {2000, 2, 29, 18, 0, 0, 0, 36585.75},
        {1899, 12, 29, 6, 0, 0, 0, -1.25},  // before day 0 the time counts the other way
        {2001, 2, 29, 0, 0, 0, 0, 0.0},     // no such day
        {2000, 13, 1, 0, 0, 0, 0, 0.0},     {2000, 1, 1, 24, 0, 0, 0, 0.0},
        {0, 1, 1, 0, 0, 0, 0, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms), c.value)
            << c.y << "-" << c.mo << "-" << c.d << " " << c.h;
}

}  // namespace
