// What the Sync Manager stand-in answers a conduit on a virtual handheld in a scratch state
// directory: the lists and records as the handheld's files hold them, wrong calls answered with
// codes and never with bytes past the caller's buffer, what it writes back to the handheld, the
// faults a test asks for, and the HotSync log's line form.
#include "sim/hotsync/SyncServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/DatabaseEntry.h"
#include "sim/hotsync/HotSyncLog.h"
#include "sim/hotsync/tests/HotSyncTestData.h"

namespace {

namespace fs = std::filesystem;
using namespace syncanswer;

constexpr uint32_t kNow = 1'700'000'000;

class SyncServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance();
        root_ = fs::temp_directory_path() / ("kestrel-sync-" + std::to_string(test->random_seed()) +
                                             "-" + test->current_test_info()->name());
        fs::remove_all(root_);
        store_ = std::make_unique<HandheldStore>(root_);
        std::string error;
        ASSERT_TRUE(store_->WriteUser("Ann", error) && store_->WriteOsVersion({4, 1}, error));
        memo_ = TestDatabase("Memo", 3, false, 3);  // with an AppInfo block
        memo_.records[1].attributes = 0x10 | 0x05;  // private, category 5
        for (const auto& [folder, db] :
             {std::pair{StoreFolder::Ram, memo_},
              {StoreFolder::Ram, TestDatabase("Tools", 2, true, 4)},
              {StoreFolder::Rom, TestDatabase("System", 1, true, 5)},
              {StoreFolder::RomAdded, TestDatabase("Added", 2, false, 7)}})
            ASSERT_TRUE(store_->Write(folder, db, error)) << error;
    }
    void TearDown() override { fs::remove_all(root_); }

    SyncServer Server(SyncFaults faults = {}) {
        return SyncServer(*store_, std::move(faults), [] { return kNow; });
    }
    std::vector<DatabaseEntry> List(SyncServer& s, uint16_t ram, uint16_t start = 0,
                                    uint16_t capacity = 10) {
        std::vector<uint8_t> bytes(capacity * dbentry::kSize);
        uint16_t count = capacity;
        s.ReadDatabaseList(0, start, ram, bytes.data(), &count);
        std::vector<DatabaseEntry> entries;
        for (uint16_t i = 0; i < count; ++i)
            entries.push_back(UnpackDatabaseEntry(bytes.data() + i * dbentry::kSize));
        return entries;
    }
    uint8_t Open(SyncServer& s, const char* name, uint8_t mode = 0x90) {
        uint8_t handle = 0;
        EXPECT_EQ(s.OpenDatabase(name, 0, &handle, mode), 0) << name;
        return handle;
    }
    int32_t Record(SyncServer& s, uint8_t handle, uint16_t index, SyncRecordRead& read) {
        read = {handle, 0, index, buffer_.data(), static_cast<uint32_t>(buffer_.size()), 0, 0,
                0,      0, 0};
        return s.ReadRecord(&read);
    }

    fs::path root_;
    std::unique_ptr<HandheldStore> store_;
    PalmDatabase memo_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(SyncServer::kMostRecordSize);
};

TEST_F(SyncServerTest, AnswersAsTheHandheldsFilesHoldIt) {
    SyncServer s = Server();
    uint8_t user[userinfo::kSize];
    ASSERT_EQ(s.ReadUserInfo(user), 0);
    EXPECT_EQ(UnpackUserInfo(user).name, "Ann");
    EXPECT_EQ(UnpackUserInfo(user).nameLength, 3u);
    uint8_t card[cardinfo::kSize] = {};
    ASSERT_EQ(s.ReadCardInfo(card), 0);
    EXPECT_EQ(UnpackCardInfo(card).romDatabases, 2) << "built-in and added alike";
    EXPECT_EQ(s.HandheldOsVersion(), 4 | 1 << 16);

    EXPECT_EQ(List(s, 1)[0], EntryOf(memo_, 0));
    const auto rom = List(s, 0, 1);
    ASSERT_EQ(rom.size(), 1u) << "from the start asked for";
    EXPECT_EQ(rom[0].name, "Added") << "the built-in databases first";
    EXPECT_EQ(rom[0].index, 1) << "the place in the whole list";
    EXPECT_EQ(List(s, 1, 0, 1).size(), 1u) << "no more than the caller has room for";

    uint32_t most = 0;
    ASSERT_EQ(s.MaxRecordSize(&most), 0);
    EXPECT_EQ(most, SyncServer::kMostRecordSize);
    const uint8_t memo = Open(s, "Memo");
    SyncRecordRead read;
    for (uint16_t i = 0; i < 3; ++i) {
        ASSERT_EQ(Record(s, memo, i, read), 0) << i;
        const PalmRecord& r = memo_.records[i];
        EXPECT_EQ(std::vector<uint8_t>(buffer_.begin(), buffer_.begin() + read.size), r.data);
        EXPECT_EQ(read.uniqueId, r.uniqueId) << i;
        EXPECT_EQ(read.attributes, r.attributes & 0xF0) << i;
        EXPECT_EQ(read.category, r.attributes & 0x0F) << i;
    }
    SyncBlockRead block{buffer_.data(), most, 0};
    ASSERT_EQ(s.ReadAppInfo(memo, &block), 0);
    EXPECT_EQ(std::vector<uint8_t>(buffer_.begin(), buffer_.begin() + block.size), *memo_.appInfo);
    // Without the private records asked for, the handheld shows the others only.
    const uint8_t shown = Open(s, "Memo", 0x80);
    uint16_t count = 0;
    ASSERT_EQ(s.RecordCount(shown, &count), 0);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(Record(s, shown, 1, read), 0);
    EXPECT_EQ(read.uniqueId, memo_.records[2].uniqueId);

    const uint8_t tools = Open(s, "Tools", 0x80);
    SyncResourceRead resource{tools, 0, 1, buffer_.data(), most, 0, 0, 0, 0};
    ASSERT_EQ(s.ReadResource(&resource), 0);
    EXPECT_EQ(resource.type, palmdb::FourCc("code"));
    EXPECT_EQ(resource.id, 1);
    EXPECT_EQ(s.ReadAppInfo(tools, &block), kNotFound) << "it has none";

    PalmDatabase big = TestDatabase("Big", 1, false, 1);
    big.records[0].data.assign(70000, 0x42);
    std::string error;
    ASSERT_TRUE(store_->Write(StoreFolder::RomAdded, big, error));
    SyncServer later = Server();
    ASSERT_EQ(later.MaxRecordSize(&most), 0);
    EXPECT_EQ(most, 70000u) << "no record larger than the size answered";
}

TEST_F(SyncServerTest, WrongCallsAreAnsweredWithCodesWithinTheCallersBuffers) {
    SyncServer s = Server();
    const uint8_t memo = Open(s, "Memo");
    const uint8_t tools = Open(s, "Tools", 0x80);
    uint8_t handle = 0;
    uint16_t count = 0;
    SyncRecordRead read;
    const std::pair<int32_t, int32_t> rows[] = {
        {s.OpenDatabase("Nothing", 0, &handle, 0x80), kNotFound},
        {s.OpenDatabase("Memo", 1, &handle, 0x80), kNotFound},     // no such card
        {s.OpenDatabase("Memo", 0, &handle, 0x40), kBadArgument},  // not for reading
        {s.OpenDatabase(nullptr, 0, &handle, 0x80), kBadArgument},
        {s.RecordCount(77, &count), kBadHandle},
        {s.RecordCount(memo, nullptr), kBadArgument},
        {Record(s, memo, 3, read), kNotFound},      // past the last
        {Record(s, tools, 0, read), kBadArgument},  // a resource database
        {s.ReadRecord(nullptr), kBadArgument},
        {s.ReadDatabaseList(0, 5, 1, buffer_.data(), &count), kNotFound},
        {s.ReadDatabaseList(0, 0, 1, buffer_.data(), nullptr), kBadArgument},
        {s.DeleteDatabase("System", 0), kReadOnly},
        {s.DeleteDatabase("Memo", 0), kInUse},
        {s.DeleteDatabase("Nothing", 0), kNotFound},
    };
    for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << i;

    // A buffer too small holds the record's first bytes, and the size says how many it has.
    std::fill(buffer_.begin(), buffer_.end(), 0xEE);
    SyncRecordRead cut{memo, 0, 2, buffer_.data(), 4, 0, 0, 0, 0, 0};
    EXPECT_EQ(s.ReadRecord(&cut), kBufferTooSmall);
    EXPECT_EQ(cut.size, memo_.records[2].data.size());
    EXPECT_TRUE(std::equal(buffer_.begin(), buffer_.begin() + 4, memo_.records[2].data.begin()));
    EXPECT_EQ(buffer_[4], 0xEE) << "nothing past the buffer";

    // Handles are few and small; a closed one is gone, and its number serves again.
    EXPECT_EQ(s.Close(memo, 0), 0);
    EXPECT_EQ(s.Close(memo, 0), kBadHandle);
    EXPECT_EQ(Open(s, "Added"), memo);
    for (size_t open = 2; open < SyncServer::kMostOpen; ++open) Open(s, "Added");
    EXPECT_EQ(s.OpenDatabase("Added", 0, &handle, 0x80), kTooManyOpen);
}

TEST_F(SyncServerTest, TheHandheldKeepsTheBackupDateOfRamDatabasesAndDeletesThem) {
    SyncServer s = Server();
    const uint8_t memo = Open(s, "Memo");
    const uint8_t system = Open(s, "System");
    EXPECT_EQ(s.Close(Open(s, "Tools"), 0), 0);
    EXPECT_EQ(s.Close(memo, kSyncCloseUpdateBackupDate), 0);
    EXPECT_EQ(s.Close(system, kSyncCloseUpdateBackupDate), 0);
    PalmDatabase db;
    std::string error;
    ASSERT_EQ(store_->Read(StoreFolder::Ram, "Memo", db, error), StoreStatus::Ok);
    EXPECT_EQ(db.backupDate, kNow + palmdb::kSeconds1904To1970);
    db.backupDate = 0;
    std::vector<uint8_t> now, before;
    ASSERT_TRUE(WritePalmDatabase(db, now, error) && WritePalmDatabase(memo_, before, error));
    EXPECT_EQ(now, before) << "nothing but the date changed";
    ASSERT_EQ(store_->Read(StoreFolder::Ram, "Tools", db, error), StoreStatus::Ok);
    EXPECT_EQ(db.backupDate, 0u) << "the plain close keeps no date";
    ASSERT_EQ(store_->Read(StoreFolder::Rom, "System", db, error), StoreStatus::Ok);
    EXPECT_EQ(db.backupDate, 0u) << "the flash ROM keeps no date";
    EXPECT_EQ(List(s, 1)[0].backupDate, kNow) << "the list says what the handheld keeps";

    EXPECT_EQ(s.DeleteDatabase("Memo", 0), 0);
    EXPECT_EQ(store_->Read(StoreFolder::Ram, "Memo", db, error), StoreStatus::NotFound);
    const auto ram = List(s, 1);
    ASSERT_EQ(ram.size(), 1u);
    EXPECT_EQ(ram[0].index, 0) << ram[0].name << " moved up";
}

TEST_F(SyncServerTest, FaultsAsTheWorldAsksForThem) {
    SyncFaults faults;
    faults.transient = 2;
    SyncServer flaky = Server(faults);
    uint32_t most = 0;
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(flaky.MaxRecordSize(&most), syncerr::kTransient);
        EXPECT_EQ(flaky.MaxRecordSize(&most), 0) << "the second try answers";
    }
    EXPECT_EQ(flaky.MaxRecordSize(&most), 0) << "the busy moment is over";

    faults = {};
    faults.lostAt = "Tools";
    faults.badRecord = "Memo";
    faults.badRecordIndex = 1;
    faults.diskFullAt = "Memo";
    faults.backupFolder = root_ / "desk" / "BACKUP";
    SyncServer s = Server(faults);
    const uint8_t memo = Open(s, "Memo");
    SyncRecordRead read;
    EXPECT_EQ(Record(s, memo, 0, read), 0);
    EXPECT_EQ(Record(s, memo, 1, read), kUnreadable);
    EXPECT_EQ(kUnreadable & syncerr::kFatal, 0) << "it must not end the backup";
    EXPECT_EQ(Record(s, memo, 2, read), 0);
    // This disk is no test's small one: it is left alone, and the stand-in says so.
    if (fs::space(root_).available > kMostDiskFill) {
        EXPECT_FALSE(fs::exists(DiskFillerPath(faults.backupFolder)));
        ASSERT_EQ(s.Problems().size(), 1u);
        EXPECT_NE(s.Problems()[0].find("too much to fill"), std::string::npos);
    }
    uint8_t handle = 0;
    EXPECT_EQ(s.OpenDatabase("Tools", 0, &handle, 0x80), syncerr::kTransient);
    EXPECT_EQ(Record(s, memo, 0, read), syncerr::kTransient) << "lost for good";
    EXPECT_EQ(s.Close(memo, 0), syncerr::kTransient);
    EXPECT_EQ(s.KeepAlive(), syncerr::kTransient);
    EXPECT_EQ(s.HandheldOsVersion(), 4 | 1 << 16) << "known from the connection's start";
}

TEST(HotSyncLog, OneLinePerEntryMarkedByActivity) {
    const hotsync_log::Stamp when{2024, 3, 9, 7, 5, 1};
    struct Row {
        int32_t activity;
        bool timestamped;
        const char* text;
        const char* line;
    };
    const Row rows[] = {
        {-1, false, "\t- Memo is up to date", "\t- Memo is up to date"},
        {20, false, "Stashmate", "= Stashmate"},
        {21, true, "Stashmate", "x Stashmate [2024-03-09 07:05:01]"},
        {7, false, "odd", "?7 odd"},
        {22, false, "lost.  \nStashmate: exiting\r\nnow\r", "! lost.   Stashmate: exiting now "},
    };
    for (const Row& r : rows)
        EXPECT_EQ(hotsync_log::FormatEntry(r.activity, r.timestamped, r.text, when), r.line);
}

}  // namespace
