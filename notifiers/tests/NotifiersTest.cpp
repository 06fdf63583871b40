// What the two notifiers do at each code HotSync Manager calls them with, over a registry in
// memory and HotSync's libraries faked, including libraries that give nothing or too much.
#include "notifiers/Notifiers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/MemoryRegistry.h"
#include "notifiers/tests/FakeAides.h"

namespace {

const std::string kKey = "Software\\Palm Computing\\Pilot Desktop\\HotSync Manager";
const std::string kMarker = "C:\\Palm\\Ann\\sm.run";
const std::string kBackup = "C:\\Palm\\Ann\\BACKUP\\Bootlet.prc";
const std::string kTempBackup = "C:\\Palm\\Ann\\BACKUP\\temp007\\Bootlet.prc";
const std::string kQueued = "queue Ann C:\\Kit\\sys\\Bootlet.prc";

using Notify = int32_t (*)(int32_t, uint32_t, AidesEdge&, RegistryEdge&);

class NotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry_.SetText(kKey, "Notifier0", "C:\\Kit\\kvrnotify.dll");
        registry_.SetText(kKey, "Notifier1", "C:\\Kit\\stashkick.dll");
        aides_.files = {kMarker, kBackup, kTempBackup};
    }
    int32_t Call(Notify notify, int32_t code, uint32_t data = 7) {
        const auto edge = registry_.Edge();
        return notify(code, data, aides_, *edge);
    }
    bool Registered() const { return registry_.Value(kKey, "Notifier0").has_value(); }

    MemoryRegistry registry_;
    FakeAides aides_;
};

TEST_F(NotifierTest, EachCodeDoesItsOwnPartOnly) {
    struct Row {
        const char* what;
        Notify notify;
        int32_t code;
        bool queued, markerGone, backupsGone, unregistered;
    };
    const Row rows[] = {
        {"kvrnotify at the beginning", &LoaderStagingNotify, 1, true, true, false, false},
        {"kvrnotify at the end (2)", &LoaderStagingNotify, 2, false, false, true, true},
        {"kvrnotify at the end (3)", &LoaderStagingNotify, 3, false, false, true, true},
        {"kvrnotify, code 0 ignored", &LoaderStagingNotify, 0, false, false, false, false},
        {"kvrnotify, code 4 ignored", &LoaderStagingNotify, 4, false, false, false, false},
        {"kvrnotify, code -1 ignored", &LoaderStagingNotify, -1, false, false, false, false},
        {"stashkick at the beginning", &MarkerClearingNotify, 1, false, true, false, false},
        {"stashkick at the end (2)", &MarkerClearingNotify, 2, false, false, false, true},
        {"stashkick at the end (3)", &MarkerClearingNotify, 3, false, false, false, true},
        {"stashkick, code 4 ignored", &MarkerClearingNotify, 4, false, false, false, false},
    };
    for (const Row& r : rows) {
        SetUp();
        aides_.calls.clear();
        EXPECT_EQ(Call(r.notify, r.code), 1) << r.what;
        EXPECT_EQ(aides_.Calls("queue"),
                  r.queued ? std::vector<std::string>{kQueued} : std::vector<std::string>{})
            << r.what;
        EXPECT_EQ(aides_.files.count(kMarker) == 0, r.markerGone) << r.what;
        EXPECT_EQ(aides_.files.count(kBackup) == 0, r.backupsGone) << r.what;
        EXPECT_EQ(aides_.files.count(kTempBackup) == 0, r.backupsGone) << r.what;
        EXPECT_EQ(!Registered(), r.unregistered) << r.what;
        EXPECT_TRUE(registry_.Value(kKey, "Notifier1").has_value())
            << r.what << ": stashkick's own";
    }
}

// The capacities decide where a library cuts what it reports, and `data` alone tells
// userdata.dll whose HotSync this is.
TEST_F(NotifierTest, LibrariesAreAskedAsHotSyncExpects) {
    Call(&LoaderStagingNotify, 1, 0xDEADBEEF);
    EXPECT_EQ(aides_.calls,
              (std::vector<std::string>{"module kvrnotify.dll 250", "user 3735928559 255", kQueued,
                                        "directory Ann 250", "remove " + kMarker}));
    aides_.calls.clear();
    Call(&LoaderStagingNotify, 2, 5);
    EXPECT_EQ(aides_.calls,
              (std::vector<std::string>{"user 5 255", "directory Ann 230", "remove " + kBackup,
                                        "directory Ann 230", "remove " + kTempBackup}));
    aides_.calls.clear();
    Call(&MarkerClearingNotify, 1, 9);
    EXPECT_EQ(aides_.calls, (std::vector<std::string>{"user 9 255", "directory Ann 250"}))
        << "the marker is gone already";
}

TEST_F(NotifierTest, AbsentFilesAreNotDeleted) {
    aides_.files.clear();
    for (Notify notify : {&LoaderStagingNotify, &MarkerClearingNotify})
        for (int32_t code : {1, 2, 3}) {
            aides_.calls.clear();
            EXPECT_EQ(Call(notify, code), 1);
            EXPECT_TRUE(aides_.Calls("remove").empty()) << code;
        }
    Call(&LoaderStagingNotify, 1);
    EXPECT_EQ(aides_.Calls("queue").size(), 1u) << "the loader is queued all the same";
}

TEST_F(NotifierTest, UnderAnotherNameNothingHappensAtTheBeginning) {
    aides_.loadedAs.reset();
    EXPECT_EQ(Call(&LoaderStagingNotify, 1), 1);
    EXPECT_TRUE(aides_.Calls("queue").empty());
    EXPECT_EQ(aides_.files.count(kMarker), 1u);
    EXPECT_EQ(Call(&LoaderStagingNotify, 2), 1);
    EXPECT_FALSE(Registered()) << "the end of a HotSync does not depend on the name";
}

// A folder the library did not give, or may have cut, must not become a place to delete in:
// "\sm.run" alone is the root of the current drive, and a cut folder is some other folder.
TEST_F(NotifierTest, OnlyAWholeUserFolderIsDeletedIn) {
    struct Row {
        const char* what;
        std::string directory;
        bool beginningDeletes, endDeletes;
    };
    const Row rows[] = {
        {"no folder", "", false, false},
        {"229 characters: may be cut at 230", "C:\\" + std::string(226, 'd'), true, false},
        {"228 characters", "C:\\" + std::string(225, 'd'), true, true},
        {"249 characters: may be cut at 250", "C:\\" + std::string(246, 'd'), false, false},
        {"248 characters", "C:\\" + std::string(245, 'd'), true, false},
    };
    for (const Row& r : rows) {
        FakeAides aides;
        aides.directories = {{"Ann", r.directory}};
        // The files the paths would name, whole or cut, and at the root.
        for (const std::string& folder :
             {r.directory, r.directory.substr(0, 229), r.directory.substr(0, 249)})
            for (const char* name :
                 {"\\sm.run", "\\BACKUP\\Bootlet.prc", "\\BACKUP\\temp007\\Bootlet.prc"})
                aides.files.insert(folder + name);
        const auto edge = registry_.Edge();
        LoaderStagingNotify(1, 0, aides, *edge);
        EXPECT_EQ(aides.Calls("remove").size(), r.beginningDeletes ? 1u : 0u) << r.what;
        if (r.beginningDeletes) {
            EXPECT_EQ(aides.Calls("remove")[0], "remove " + r.directory + "\\sm.run") << r.what;
        }
        aides.calls.clear();
        LoaderStagingNotify(2, 0, aides, *edge);
        EXPECT_EQ(aides.Calls("remove").size(), r.endDeletes ? 2u : 0u) << r.what;
        aides.calls.clear();
        MarkerClearingNotify(1, 0, aides, *edge);
        EXPECT_EQ(aides.Calls("remove").size(), 0u) << r.what << ": gone already, or untouchable";
    }
}

TEST_F(NotifierTest, TheLoaderComesOnlyFromAWholeFileName) {
    // Folders that make the library's file name 248, 249 and 300 characters long.
    const std::string folder248 = "C:\\" + std::string(231, 'k');
    const std::string folder249 = folder248 + "k";
    const std::string folder300 = folder248 + std::string(52, 'k');
    struct Row {
        const char* what;
        std::string loadedAs;
        std::string queued;  // empty: nothing queued
    };
    const Row rows[] = {
        {"plain", "C:\\Kit\\kvrnotify.dll", "C:\\Kit\\sys\\Bootlet.prc"},
        {"at the root", "C:\\kvrnotify.dll", "C:\\sys\\Bootlet.prc"},
        {"248 characters", folder248 + "\\kvrnotify.dll", folder248 + "\\sys\\Bootlet.prc"},
        {"249 characters: may be cut", folder249 + "\\kvrnotify.dll", ""},
        {"300 characters, cut", folder300 + "\\kvrnotify.dll", ""},
        {"no folder at all", "kvrnotify.dll", ""},
    };
    for (const Row& r : rows) {
        aides_.loadedAs = r.loadedAs;
        aides_.files = {kMarker};
        aides_.calls.clear();
        Call(&LoaderStagingNotify, 1);
        EXPECT_EQ(aides_.Calls("queue"), r.queued.empty()
                                             ? std::vector<std::string>{}
                                             : std::vector<std::string>{"queue Ann " + r.queued})
            << r.what;
        EXPECT_EQ(aides_.files.count(kMarker), 0u) << r.what << ": the marker goes regardless";
    }
}

}  // namespace
