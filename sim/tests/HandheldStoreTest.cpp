#include "sim/HandheldStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class StateDir {
public:
    StateDir() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                (std::string("handheld-store-") + test->test_suite_name() + "-" + test->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~StateDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> FileNames(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

PalmDatabase Database(const std::string& name, bool resources = false, uint8_t mark = 0) {
    PalmDatabase database;
    EXPECT_TRUE(database.SetName(name));
    database.attributes = resources ? palmdb::kResourceDatabase : 0;
    database.type = palmdb::FourCc("DATA");
    database.creator = palmdb::FourCc("test");
    if (resources)
        database.resources = {{palmdb::FourCc("tSTR"), 1, {mark}}};
    else
        database.records = {{0, 1, {mark}}};
    return database;
}

std::string Bytes(const PalmDatabase& database) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(WritePalmDatabase(database, bytes, error)) << error;
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Names(const HandheldStore& store, StoreFolder folder) {
    std::vector<StoredDatabase> databases;
    std::vector<DamagedFile> damaged;
    std::string error;
    EXPECT_TRUE(store.List(folder, databases, damaged, error)) << error;
    std::vector<std::string> names;
    for (const StoredDatabase& stored : databases) names.push_back(stored.database.Name());
    return names;
}

TEST(HandheldStoreFolders, DatabasesAreFoundByTheirNamesInEveryFolder) {
    StateDir dir;
    HandheldStore store(dir.Path());
    std::string error;
    for (StoreFolder folder : kStoreFolders) {
        SCOPED_TRACE(FolderName(folder));
        EXPECT_TRUE(Names(store, folder).empty());  // a folder not made yet is empty
        ASSERT_TRUE(store.Write(folder, Database("Memo DB", false, 1), error)) << error;
        ASSERT_TRUE(store.Write(folder, Database("Launcher", true, 2), error)) << error;
        EXPECT_EQ(FileNames(dir.Path() / FolderName(folder)),
                  (std::set<std::string>{"Memo_DB.PDB", "Launcher.PRC"}));
        PalmDatabase read;
        ASSERT_EQ(store.Read(folder, "Launcher", read, error), StoreStatus::Ok) << error;
        EXPECT_EQ(read.resources.at(0).data, std::vector<uint8_t>{2});
        EXPECT_EQ(store.Read(folder, "Gone", read, error), StoreStatus::NotFound);
        EXPECT_EQ(store.Remove(folder, "Memo DB", error), StoreStatus::Ok) << error;
        EXPECT_EQ(store.Remove(folder, "Memo DB", error), StoreStatus::NotFound);
        EXPECT_EQ(Names(store, folder), std::vector<std::string>{"Launcher"});
    }
}

TEST(HandheldStoreFolders, AFolderHoldsOneDatabaseOfANameWhateverItsFilesAreCalled) {
    StateDir dir;
    HandheldStore store(dir.Path());
    const fs::path ram = dir.Path() / "ram";
    WriteFile(ram / "copied by hand.pdb", Bytes(Database("Memo DB", false, 1)));
    WriteFile(ram / "Memo_DB_.pdb", Bytes(Database("Memo DB", false, 2)));  // a stray twin
    WriteFile(ram / "Memo_DB.PDB", Bytes(Database("Memo_DB", false, 3)));   // another database
    std::string error;
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Memo DB", false, 9), error)) << error;
    // Both old files of "Memo DB" are gone; "Memo_DB", which has the file name the new one
    // would take, keeps its file, and the new one takes the next free name.
    EXPECT_EQ(FileNames(ram), (std::set<std::string>{"Memo_DB.PDB", "Memo_DB_2.PDB"}));
    PalmDatabase read;
    ASSERT_EQ(store.Read(StoreFolder::Ram, "Memo DB", read, error), StoreStatus::Ok);
    EXPECT_EQ(read.records.at(0).data, std::vector<uint8_t>{9});
    ASSERT_EQ(store.Read(StoreFolder::Ram, "Memo_DB", read, error), StoreStatus::Ok);
    EXPECT_EQ(read.records.at(0).data, std::vector<uint8_t>{3});

    // Written again it stays in its file; as a resource database it moves to a .PRC.
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Memo DB", false, 10), error)) << error;
    EXPECT_EQ(FileNames(ram), (std::set<std::string>{"Memo_DB.PDB", "Memo_DB_2.PDB"}));
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Memo DB", true, 11), error)) << error;
    EXPECT_EQ(FileNames(ram), (std::set<std::string>{"Memo_DB.PDB", "Memo_DB.PRC"}));
}

TEST(HandheldStoreFolders, FileNamesHoldNothingAFileSystemOrShellTakesForSomethingElse) {
    const struct {
        const char* catches;
        const char* name;
        bool resources;
        const char* file;
    } rows[] = {
        {"separators would make folders", "a/b\\c", false, "a_b_c.PDB"},
        {"wildcards, quotes and redirections", "*?\"<>|:", false, "_______.PDB"},
        {"dots and blanks, which Windows drops at the end", "Net Prefs. ", true, "Net_Prefs__.PRC"},
        {"control and non-ASCII bytes", "caf\xE9\t", false, "caf__.PDB"},
        {"a device name Windows would open", "CON", false, "CON_.PDB"},
        {"a numbered device name", "lpt3", true, "lpt3_.PRC"},
        {"not a device name", "COM10", false, "COM10.PDB"},
        {"an empty name", "", false, "_.PDB"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        EXPECT_EQ(DatabaseFileName(Database(row.name, row.resources)), row.file);
    }
}

TEST(HandheldStoreFolders, DamagedAndStrayFilesAreReportedNotTakenForDatabases) {
    StateDir dir;
    HandheldStore store(dir.Path());
    const fs::path ram = dir.Path() / "ram";
    WriteFile(ram / "Good.PDB", Bytes(Database("Good")));
    WriteFile(ram / "short.pdb", std::string(40, 'x'));
    WriteFile(ram / ".Good.PDB.1234.tmp", "half written");
    fs::create_directories(ram / "sub");
    std::vector<StoredDatabase> databases;
    std::vector<DamagedFile> damaged;
    std::string error;
    ASSERT_TRUE(store.List(StoreFolder::Ram, databases, damaged, error)) << error;
    ASSERT_EQ(databases.size(), 1u);
    EXPECT_EQ(databases[0].fileName, "Good.PDB");
    EXPECT_EQ(databases[0].fileSize, Bytes(Database("Good")).size());
    ASSERT_EQ(damaged.size(), 2u);
    EXPECT_EQ(damaged[0].fileName, "short.pdb");
    EXPECT_NE(damaged[0].error.find("less than the 78-byte header"), std::string::npos);
    EXPECT_EQ(damaged[1].fileName, "sub");
    EXPECT_NE(damaged[1].error.find("not a regular file"), std::string::npos);

    WriteFile(dir.Path() / "rom", "a file where the folder should be");
    EXPECT_FALSE(store.List(StoreFolder::Rom, databases, damaged, error));
    EXPECT_FALSE(store.Write(StoreFolder::Rom, Database("x"), error));
}

TEST(HandheldStoreFolders, ClearingTheInstallQueueTakesEveryFileButThoseBeingWritten) {
    StateDir dir;
    HandheldStore store(dir.Path());
    const fs::path install = dir.Path() / "install";
    WriteFile(install / "Bootlet.prc", Bytes(Database("Bootlet", true)));
    WriteFile(install / "notes.txt", "not a database");
    WriteFile(install / ".arriving.tmp", "being copied");
    fs::create_directories(install / "folder");
    std::string error;
    ASSERT_TRUE(store.Clear(StoreFolder::Install, error)) << error;
    EXPECT_EQ(FileNames(install), (std::set<std::string>{".arriving.tmp", "folder"}));
    EXPECT_TRUE(store.Clear(StoreFolder::RomAdded, error));  // a folder that is not there
}

TEST(HandheldStoreKeys, UserAndOsVersionAreReadAndWrittenKeepingEveryOtherLine) {
    StateDir dir;
    HandheldStore store(dir.Path());
    std::string user = "unset";
    OsVersion version{9, 9};
    std::string error;
    ASSERT_TRUE(store.ReadUser(user, error)) << error;
    ASSERT_TRUE(store.ReadOsVersion(version, error)) << error;
    EXPECT_EQ(user, "");  // no file: nobody's handheld, the default OS
    EXPECT_EQ(version, OsVersion{});

    const std::string before =
        "# palmsim's\r\nhwid=6\r\nuser = Old Name\r\nowner=sync-tool\r\nuser=Jo Tester\r\n"
        "battery=7";
    WriteFile(dir.Path() / "handheld.conf", before);
    ASSERT_TRUE(store.ReadUser(user, error)) << error;
    EXPECT_EQ(user, "Jo Tester");  // the last line counts, as palmsim reads it
    ASSERT_TRUE(store.WriteUser("Ann Other", error)) << error;
    ASSERT_TRUE(store.WriteOsVersion({4, 1}, error)) << error;
    EXPECT_EQ(ReadFile(dir.Path() / "handheld.conf"),
              "# palmsim's\r\nhwid=6\r\nuser=Ann Other\r\nowner=sync-tool\r\nuser=Ann Other\r\n"
              "battery=7\nos-version=4.1\n");
    ASSERT_TRUE(store.ReadUser(user, error) && store.ReadOsVersion(version, error)) << error;
    EXPECT_EQ(user, "Ann Other");
    EXPECT_EQ(version, (OsVersion{4, 1}));
    // What palmsim reads from it.
    HandheldConfig config;
    ASSERT_TRUE(ReadConfigText(ReadFile(dir.Path() / "handheld.conf"), config, error)) << error;
    EXPECT_EQ(config.user, "Ann Other");
    EXPECT_EQ(config.osVersion, (OsVersion{4, 1}));
    EXPECT_EQ(config.hardwareId, 6);

    const std::string kept = ReadFile(dir.Path() / "handheld.conf");
    for (const char* bad : {" padded", "line\nbreak", "tab\tinside",
                            "a name of more than sixty-three bytes, which the field cannot hold"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(store.WriteUser(bad, error));
    }
    EXPECT_FALSE(store.WriteOsVersion({0, 1}, error));
    EXPECT_EQ(ReadFile(dir.Path() / "handheld.conf"), kept);
    EXPECT_EQ(FileNames(dir.Path()), std::set<std::string>{"handheld.conf"});  // no temporary

    WriteFile(dir.Path() / "handheld.conf", "os-version=three\n");
    EXPECT_FALSE(store.ReadOsVersion(version, error));
    EXPECT_NE(error.find("three"), std::string::npos) << error;
}

TEST(HandheldStoreKeys, OsVersionsAreMajorDotMinor) {
    const struct {
        const char* text;
        bool ok;
        OsVersion version;
    } rows[] = {
        {"3.5", true, {3, 5}}, {"4.10", true, {4, 10}}, {"10.0", true, {10, 0}},
        {"0.9", false, {}},    {"3", false, {}},        {"3.", false, {}},
        {".5", false, {}},     {"3.5.1", false, {}},    {"03.5", false, {}},
        {"3.05", false, {}},   {"1000.1", false, {}},   {"3,5", false, {}},
        {"-3.5", false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        OsVersion version{7, 7};
        EXPECT_EQ(ParseOsVersion(row.text, version), row.ok);
        if (row.ok) {
            EXPECT_EQ(version, row.version);
            EXPECT_EQ(FormatOsVersion(version), row.text);
        } else {
            EXPECT_EQ(version, (OsVersion{7, 7}));
        }
    }
}

}  // namespace
