// One HotSync of the virtual handheld, as the HotSync Manager stand-in performs it: the order
// of the notifiers' calls around it, queued files installed, the backup into the user's
// folders, and the round trip that matters to the update: back up, erase, HotSync again, and
// every database is back byte for byte with its user.
#include "sim/hotsync/HotSyncSession.h"

#include <gtest/gtest.h>

#include "sim/hotsync/tests/HotSyncTestData.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class HotSyncSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kestrel-hotsync-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        store_ = std::make_unique<HandheldStore>(root_ / "handheld");
        std::string error;
        ASSERT_TRUE(store_->WriteUser("Ann", error)) << error;
    }
    void TearDown() override { fs::remove_all(root_); }

    void Put(StoreFolder folder, const PalmDatabase& db) {
        std::string error;
        ASSERT_TRUE(store_->Write(folder, db, error)) << error;
    }
    HotSyncResult Sync(HotSyncCallouts callouts = {}) {
        return PerformHotSync(*store_, "Ann", root_ / "desktop" / "Ann", callouts);
    }
    fs::path User() const { return root_ / "desktop" / "Ann"; }

    fs::path root_;
    std::unique_ptr<HandheldStore> store_;
};

TEST_F(HotSyncSessionTest, BackUpEraseAndTheNextHotSyncBringsEverythingBack) {
    for (int i = 0; i < 36; ++i)
        Put(StoreFolder::Ram, TestDatabase("Ram db " + std::to_string(i), i % 5, i % 4 == 0,
                                           static_cast<uint8_t>(i)));
    Put(StoreFolder::RomAdded, TestDatabase("Flash added", 3, true, 99));
    Put(StoreFolder::Rom, TestDatabase("System", 2, true, 98));
    const auto ramBefore = FilesOf(store_->FolderPath(StoreFolder::Ram));
    const auto addedBefore = FilesOf(store_->FolderPath(StoreFolder::RomAdded));

    const HotSyncResult backup = Sync();
    EXPECT_TRUE(backup.ok);
    EXPECT_EQ(backup.backedUp, 37) << "every RAM database and the one added to the flash ROM";
    EXPECT_TRUE(fs::exists(User() / "BACKUP" / "Ram_db_7.PDB"));
    EXPECT_TRUE(fs::exists(User() / "ROM_Files" / "Flash_added.PRC"));
    EXPECT_FALSE(fs::exists(User() / "ROM_Files" / "System.PRC")) << "built into the ROM";

    // What an update does to the handheld.
    std::string error;
    ASSERT_TRUE(store_->Clear(StoreFolder::Ram, error));
    ASSERT_TRUE(store_->Clear(StoreFolder::RomAdded, error));
    ASSERT_TRUE(store_->WriteUser("", error));

    const HotSyncResult restore = Sync();
    EXPECT_TRUE(restore.ok);
    EXPECT_EQ(restore.restored, 37);
    EXPECT_EQ(restore.backedUp, 0)
        << "nothing is backed up over the backups of the erased handheld";
    EXPECT_EQ(FilesOf(store_->FolderPath(StoreFolder::Ram)), ramBefore);
    EXPECT_EQ(FilesOf(store_->FolderPath(StoreFolder::RomAdded)), addedBefore);
    std::string user;
    ASSERT_TRUE(store_->ReadUser(user, error));
    EXPECT_EQ(user, "Ann");
}

TEST_F(HotSyncSessionTest, NotifiersAroundTheHotSyncAndQueuedFilesInstalledBetween) {
    std::vector<std::string> calls;
    HotSyncCallouts callouts;
    for (const char* who : {"first", "second"})
        callouts.notifiers.push_back([&calls, who, this](int32_t code, uint32_t data) {
            calls.push_back(std::string(who) + " " + std::to_string(code) + " " +
                            std::to_string(data));
            // The loader-staging notifier queues its file at the beginning.
            if (code == hotsync_session::kBegin && std::string(who) == "first")
                Put(StoreFolder::Install, TestDatabase("Bootlet", 1, true, 5));
        });
    const HotSyncResult result = Sync(callouts);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"first 1 1", "second 1 1", "first 2 1", "second 2 1"}));
    EXPECT_EQ(result.installed, 1);
    PalmDatabase installed;
    std::string error;
    EXPECT_EQ(store_->Read(StoreFolder::Ram, "Bootlet", installed, error), StoreStatus::Ok);
    EXPECT_TRUE(fs::is_empty(store_->FolderPath(StoreFolder::Install)));
    EXPECT_TRUE(fs::exists(User() / "BACKUP" / "Bootlet.PRC")) << "backed up in the same HotSync";
}

TEST_F(HotSyncSessionTest, OnlyAConduitThatRunsTakesThePlaceOfTheOwnBackup) {
    Put(StoreFolder::Ram, TestDatabase("Memo", 2, false, 1));
    using Outcome = ConduitRun::Outcome;
    struct Row {
        Outcome outcome;
        const char* conduit;
        const char* user;  // the handheld's
        bool backedUp;
        const char* line;  // after "Backup conduit "
    };
    const Row rows[] = {
        {Outcome::Default, "", "Ann", true, "bakcn20.dll: HotSync Manager's own backup"},
        {Outcome::CannotLoad, "s.dll", "Ann", true,
         "s.dll cannot be loaded: HotSync Manager's own backup"},
        {Outcome::NoEntry, "s.dll", "Ann", true,
         "s.dll has no OpenConduit: HotSync Manager's own backup"},
        {Outcome::Ran, "s.dll", "Ann", false, "s.dll ran (result 16405)"},
        {Outcome::Ran, "s.dll", "", false, "s.dll ran (result 16405)"},
        {Outcome::CannotLoad, "s.dll", "", false,
         "s.dll cannot be loaded: no backup of a handheld without its user"},
    };
    for (const Row& r : rows) {
        const std::string line = std::string("Backup conduit ") + r.line;
        fs::remove_all(User());
        std::string error;
        ASSERT_TRUE(store_->WriteUser(r.user, error));
        std::vector<std::string> streamed;
        HotSyncCallouts callouts;
        callouts.backupConduit = [&](const fs::path& folder) {
            streamed.push_back("(conduit in " + folder.string() + ")");
            return ConduitRun{r.outcome, r.conduit, 0x4015};
        };
        callouts.log = [&streamed](const std::string& text) { streamed.push_back(text); };
        const HotSyncResult result = Sync(callouts);
        EXPECT_EQ(fs::exists(User() / "BACKUP" / "Memo.PDB"), r.backedUp) << line;
        // Each line is handed on as it comes, after whatever the conduit logged.
        const auto conduitAt = std::find(streamed.begin(), streamed.end(),
                                         "(conduit in " + (User() / "BACKUP").string() + ")");
        const auto lineAt = std::find(streamed.begin(), streamed.end(), line);
        EXPECT_TRUE(conduitAt < lineAt && lineAt != streamed.end()) << line;
        EXPECT_EQ(streamed.size(), result.log.size() + 1) << line;
    }
}

TEST_F(HotSyncSessionTest, DamagedFilesAreReportedNotInstalledNorFatal) {
    fs::create_directories(store_->FolderPath(StoreFolder::Install));
    std::ofstream(store_->FolderPath(StoreFolder::Install) / "broken.prc") << "not a database";
    Put(StoreFolder::Ram, TestDatabase("Good", 1, false, 2));
    std::ofstream(store_->FolderPath(StoreFolder::Ram) / "junk.pdb") << "junk";
    const HotSyncResult result = Sync();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.installed, 0);
    EXPECT_EQ(result.backedUp, 1);
    bool named = false;
    for (const std::string& line : result.log)
        named = named || line.find("broken.prc") != std::string::npos;
    EXPECT_TRUE(named) << "the log names the file it could not install";
}

TEST(SyncProperties, TheBackupFolderWholeWithItsBackslashOrNotAtAll) {
    const auto properties = hotsync_session::SyncProperties(6, "C:\\Ann\\BACKUP", 1);
    ASSERT_TRUE(properties);
    const uint8_t* p = properties->data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 4)), "C:\\Ann\\BACKUP\\");
    EXPECT_EQ(p[0] + p[930], 6 + 1) << "the sync type and the connection";
    // The field holds 255 characters and a NUL: a folder cut short would be another folder.
    EXPECT_TRUE(hotsync_session::SyncProperties(2, std::string(254, 'a'), 0));
    EXPECT_FALSE(hotsync_session::SyncProperties(2, std::string(255, 'a'), 0));
}

TEST(BackupFileName, CharactersADesktopFileNameMayNotHold) {
    PalmDatabase db;
    db.SetName("a\\b/c*d?e\"f<g>h|i.j k:l");
    EXPECT_EQ(BackupFileName(db), "a_b_c_d_e_f_g_h_i_j_k_l.PDB");
    db.attributes = palmdb::kResourceDatabase;
    db.SetName("Graffiti ShortCuts");
    EXPECT_EQ(BackupFileName(db), "Graffiti_ShortCuts.PRC");
}

}  // namespace
