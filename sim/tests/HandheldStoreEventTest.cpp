// What the serial side does to the handheld's stores, and how it shows in the state directory
// at the next save: the RAM-store erase and the flash store's set-up as the desktop performs
// them, the files they take away, and the loader a reset finds installed.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "sim/Bootlet.h"
#include "sim/Handheld.h"
#include "sim/HandheldState.h"
#include "sim/HandheldStore.h"
#include "sim/tests/DesktopSide.h"

namespace {

namespace fs = std::filesystem;
using desk::Ask;
using desk::Be16;
using desk::Be32;
using desk::Cat;

constexpr uint32_t kFlashBase = 0x10C00000;
constexpr uint32_t kVector = 0x10C21234;     // into the page of the store's control block
constexpr uint32_t kChipCount = 0x10C21034;  // its chip count, 52 bytes into the page

// A handheld with its loader running that counts the store events it tells.
struct Counted {
    explicit Counted(uint16_t hardwareId = 10) : handheld(Config(hardwareId)) {
        handheld.SetStoreListener([this](StoreEvent event) {
            (event == StoreEvent::RamStoreErased ? erased : finalised) += 1;
        });
    }
    static HandheldConfig Config(uint16_t hardwareId) {
        HandheldConfig config;
        config.mode = HandheldMode::Loader;
        config.hardwareId = hardwareId;
        return config;
    }
    void WriteRam(uint32_t address, const std::vector<uint8_t>& data) {
        const auto body = Cat({Be32(address), Be16(static_cast<uint16_t>(data.size())), data, {0}});
        EXPECT_EQ(Ask(handheld, 1, 1, body).size(), 1u);
    }
    void Program(uint32_t address, const std::vector<uint8_t>& data) {
        EraseBlock block{};
        ASSERT_TRUE(handheld.Memory().FlashBlockAt(address, block));
        const auto body = Cat({Be32(block.start),
                               Be32(address),
                               Be16(static_cast<uint16_t>(data.size())),
                               data,
                               {0}});
        const auto replies = Ask(handheld, 4, 2, body);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(desk::U16(replies[0].body, 0), 0);
    }
    // The OS's reset vector, as a flashed OS leaves it.
    void SetVector(uint32_t vector) {
        std::vector<uint8_t>& flash = handheld.Memory().Flash();
        const std::vector<uint8_t> bytes = Be32(vector);
        std::copy(bytes.begin(), bytes.end(), flash.begin() + 0x8004);
    }

    Handheld handheld;
    int erased = 0;
    int finalised = 0;
};

const std::vector<uint8_t> kBlank(4096, 0xFF);

TEST(HandheldStoreEvents, TheRamStoreIsErasedWhenItsFirstBlockIsBlank) {
    const std::vector<uint8_t> half(2048, 0xFF);
    const struct {
        const char* catches;
        uint16_t hardwareId;
        std::vector<std::pair<uint32_t, std::vector<uint8_t>>> writes;
        std::vector<int> erasedAfterEach;
    } rows[] = {
        {"the desktop's erase: the first 4 KiB 256 KiB into RAM written blank, three times",
         10,
         {{0x40000, kBlank}, {0x40000, kBlank}, {0x40000, kBlank}},
         {1, 2, 3}},
        {"RAM at 0x10000000 erased at its base", 1, {{0x10040000, kBlank}}, {1}},
        {"the same RAM reached at 0, where it is seen as well", 1, {{0x40000, kBlank}}, {1}},
        {"half a block blank is no erase, the other half makes one",
         10,
         {{0x40000, half}, {0x40800, half}},
         {0, 1}},
        {"blank blocks elsewhere in RAM are no erase",
         10,
         {{0x10000, kBlank}, {0x41000, kBlank}, {0x3F000, kBlank}},
         {0, 0, 0}},
        {"data written into an erased store is no new erase",
         10,
         {{0x40000, kBlank}, {0x40800, {1, 2, 3, 4}}},
         {1, 1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        Counted counted(row.hardwareId);
        for (size_t i = 0; i < row.writes.size(); ++i) {
            counted.WriteRam(row.writes[i].first, row.writes[i].second);
            EXPECT_EQ(counted.erased, row.erasedAfterEach[i]) << "after write " << i;
        }
        EXPECT_EQ(counted.finalised, 0);
    }
}

TEST(HandheldStoreEvents, TheFlashStoreIsSetUpWhenItsChipCountIsWritten) {
    const std::vector<uint8_t> omg(176, 0x00);
    const struct {
        const char* catches;
        uint32_t vector;
        std::vector<std::pair<uint32_t, std::vector<uint8_t>>> programs;
        int finalised;
    } rows[] = {
        {"the control block written whole over a blank chip count",
         kVector,
         {{kChipCount - 52, omg}},
         1},
        {"the chip count written a byte at a time counts once",
         kVector,
         {{kChipCount, {0x00}}, {kChipCount + 1, {0x01}}},
         1},
        {"a chip count written before is no new set-up",
         kVector,
         {{kChipCount, {0x00, 0x01}}, {kChipCount - 52, omg}},
         1},
        {"the bytes beside the chip count are not it",
         kVector,
         {{kChipCount - 52, std::vector<uint8_t>(52, 0)}, {kChipCount + 2, {0, 0}}},
         0},
        {"an OS whose vector points into the ROM itself has no flash store",
         0x10C0FFFE,
         {{0x10C0F034, {0x00, 0x01}}},
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        Counted counted;
        counted.SetVector(row.vector);
        for (const auto& [address, data] : row.programs) counted.Program(address, data);
        EXPECT_EQ(counted.finalised, row.finalised);
        EXPECT_EQ(counted.erased, 0);
    }
}

class StateDir {
public:
    StateDir() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                (std::string("handheld-events-") + test->name() + "-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~StateDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string Path() const { return path_.string(); }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

PalmDatabase Database(const std::string& name, uint8_t mark = 0) {
    PalmDatabase database;
    database.SetName(name);
    database.type = palmdb::FourCc("DATA");
    database.creator = palmdb::FourCc("test");
    database.records = {{0, 1, {mark}}};
    return database;
}

std::set<std::string> Files(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

std::string Text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A write well after the event, whatever the clock's grain: the HotSync side at work.
void Later(const fs::path& path) {
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
}

// A handheld in its cradle: a user, databases in RAM and in both flash folders.
void Populate(const StateDir& dir) {
    HandheldStore store(dir.Path());
    std::string error;
    ASSERT_TRUE(store.WriteUser("Jo Tester", error)) << error;
    ASSERT_TRUE(store.WriteOsVersion({4, 1}, error)) << error;
    for (const char* name : {"Address DB", "Memo DB"})
        ASSERT_TRUE(store.Write(StoreFolder::Ram, Database(name), error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::Ram, BuildBootletDatabase(), error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::Rom, Database("System"), error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::RomAdded, Database("Added App"), error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::Install, Database("Queued"), error)) << error;
}

std::string User(const StateDir& dir) {
    std::string user = "?";
    std::string error;
    EXPECT_TRUE(HandheldStore(dir.Path()).ReadUser(user, error)) << error;
    return user;
}

TEST(HandheldStoreChanges, AnEraseTakesWhatRamHeldThenAndTheUserNameAtTheSave) {
    StateDir dir;
    Populate(dir);
    Handheld handheld{HandheldConfig{}};
    StoreChanges changes;
    NoteStoreEvent(dir.Path(), StoreEvent::RamStoreErased, changes);
    EXPECT_FALSE(BootletInstalled(dir.Path(), changes));  // erased, though its file is there

    // Meanwhile the HotSync side installs a database and rewrites another.
    HandheldStore store(dir.Path());
    std::string error;
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Restored"), error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Memo DB", 7), error)) << error;
    Later(dir / "ram" / "Memo_DB.PDB");
    EXPECT_EQ(Files(dir / "ram"), (std::set<std::string>{"Address_DB.PDB", "Bootlet.PRC",
                                                         "Memo_DB.PDB", "Restored.PDB"}));

    ASSERT_TRUE(SaveState(dir.Path(), handheld, changes, error)) << error;
    EXPECT_EQ(Files(dir / "ram"), (std::set<std::string>{"Memo_DB.PDB", "Restored.PDB"}));
    EXPECT_EQ(User(dir), "");
    EXPECT_EQ(Files(dir / "rom"), std::set<std::string>{"System.PDB"});
    EXPECT_EQ(Files(dir / "rom-added"), std::set<std::string>{"Added_App.PDB"});
    EXPECT_EQ(Files(dir / "install"), std::set<std::string>{"Queued.PDB"});
    OsVersion version;
    ASSERT_TRUE(store.ReadOsVersion(version, error));
    EXPECT_EQ(version, (OsVersion{4, 1}));  // the HotSync side's key outlives palmsim's save

    // Saved once, the erase is done with: what comes into ram/ now stays.
    EXPECT_FALSE(changes.ramStoreErased);
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Address DB"), error)) << error;
    ASSERT_TRUE(SaveState(dir.Path(), handheld, changes, error)) << error;
    EXPECT_EQ(Files(dir / "ram").size(), 3u);
}

TEST(HandheldStoreChanges, AnEraseTakesEveryEntryAsItStandsAndReportsASubdirectory) {
    StateDir dir;
    Populate(dir);
    const fs::path ram = dir / "ram";
    const fs::path outside = dir / "elsewhere";
    fs::create_directories(outside / "folder");
    std::ofstream(outside / "precious") << "somebody's";
    fs::copy_file(ram / "Memo_DB.PDB", outside / "Memo.PDB");
    fs::create_symlink(outside / "Memo.PDB", ram / "Linked.PDB");
    fs::create_symlink(outside / "precious", ram / "to-file");
    fs::create_symlink(outside / "folder", ram / "to-folder");
    fs::create_symlink(outside / "gone", ram / "to-nothing");
    ASSERT_EQ(mkfifo((ram / "pipe").c_str(), 0600), 0);
    fs::create_directories(ram / "sub\x1b[2J");
    std::ofstream(ram / "sub\x1b[2J" / "notes") << "kept";

    StoreChanges changes;
    EXPECT_EQ(NoteStoreEvent(dir.Path(), StoreEvent::RamStoreErased, changes),
              std::vector<std::string>{(ram / "sub\\x1B[2J").string() +
                                       " is a directory, not a database; the RAM-store erase "
                                       "leaves it"});
    // The desktop's erase is three blank writes: the directory is told of once.
    EXPECT_TRUE(NoteStoreEvent(dir.Path(), StoreEvent::RamStoreErased, changes).empty());
    // The HotSync side puts a link of its own where one was: newer than the erase, it stays.
    fs::remove(ram / "to-file");
    fs::create_symlink(outside / "restored", ram / "to-file");
    std::string error;
    ASSERT_TRUE(SaveState(dir.Path(), Handheld{HandheldConfig{}}, changes, error)) << error;

    EXPECT_EQ(Files(ram), (std::set<std::string>{"sub\x1b[2J", "to-file"}));
    EXPECT_EQ(Text(ram / "sub\x1b[2J" / "notes"), "kept");
    // What the links led to lies outside the store and is nobody's to erase.
    EXPECT_EQ(Text(outside / "precious"), "somebody's");
    EXPECT_EQ(Files(outside), (std::set<std::string>{"Memo.PDB", "folder", "precious"}));
}

TEST(HandheldStoreChanges, AUserNameWrittenAfterTheEraseIsKept) {
    StateDir dir;
    Populate(dir);
    Handheld handheld{HandheldConfig{}};
    StoreChanges changes;
    NoteStoreEvent(dir.Path(), StoreEvent::RamStoreErased, changes);
    // The restoring HotSync gives the handheld its user back, the same name as before.
    std::string error;
    ASSERT_TRUE(HandheldStore(dir.Path()).WriteUser("Jo Tester", error)) << error;
    Later(dir / "handheld.conf");
    ASSERT_TRUE(SaveState(dir.Path(), handheld, changes, error)) << error;
    EXPECT_EQ(User(dir), "Jo Tester");
}

TEST(HandheldStoreChanges, TheFlashStoreSetUpTakesOnlyTheDatabasesAddedToIt) {
    StateDir dir;
    Populate(dir);
    Handheld handheld{HandheldConfig{}};
    StoreChanges changes;
    NoteStoreEvent(dir.Path(), StoreEvent::FlashStoreFinalised, changes);
    std::string error;
    ASSERT_TRUE(HandheldStore(dir.Path()).Write(StoreFolder::RomAdded, Database("Later"), error));
    ASSERT_TRUE(SaveState(dir.Path(), handheld, changes, error)) << error;
    EXPECT_EQ(Files(dir / "rom-added"), std::set<std::string>{"Later.PDB"});
    EXPECT_EQ(Files(dir / "rom"), std::set<std::string>{"System.PDB"});
    EXPECT_EQ(Files(dir / "ram").size(), 3u);
    EXPECT_EQ(User(dir), "Jo Tester");
}

TEST(HandheldStoreChanges, ASaveThatFailsKeepsTheChangesForTheNext) {
    StateDir dir;
    Populate(dir);
    Handheld handheld{HandheldConfig{}};
    StoreChanges changes;
    NoteStoreEvent(dir.Path(), StoreEvent::RamStoreErased, changes);
    fs::create_directories(dir / "flash.bin" / "inside");
    std::string error;
    EXPECT_FALSE(SaveState(dir.Path(), handheld, changes, error));
    EXPECT_EQ(Files(dir / "ram").size(), 3u);
    EXPECT_EQ(User(dir), "Jo Tester");
    fs::remove_all(dir / "flash.bin");
    ASSERT_TRUE(SaveState(dir.Path(), handheld, changes, error)) << error;
    EXPECT_TRUE(Files(dir / "ram").empty());
    EXPECT_EQ(User(dir), "");
}

TEST(HandheldStoreChanges, SaveTakesTheHotSyncSidesKeysAsTheyStandNow) {
    StateDir dir;
    HandheldConfig config;
    config.user = "Old";
    config.otherKeys = {{"owner", "palmsim's copy"}};
    Handheld handheld{config};
    std::ofstream(dir / "handheld.conf") << "user=New Owner\nos-version=5.2\nowner=sync-tool\n";
    std::string error;
    ASSERT_TRUE(SaveState(dir.Path(), handheld, error)) << error;
    HandheldConfig saved;
    ASSERT_TRUE(ReadConfigText(Text(dir / "handheld.conf"), saved, error)) << error;
    EXPECT_EQ(saved.user, "New Owner");
    EXPECT_EQ(saved.osVersion, (OsVersion{5, 2}));
    EXPECT_EQ(saved.otherKeys,
              (std::vector<std::pair<std::string, std::string>>{{"owner", "sync-tool"}}));

    // A file palmsim cannot read leaves its own copy to be saved.
    std::ofstream(dir / "handheld.conf") << "battery=400\n";
    ASSERT_TRUE(SaveState(dir.Path(), handheld, error)) << error;
    ASSERT_TRUE(ReadConfigText(Text(dir / "handheld.conf"), saved, error)) << error;
    EXPECT_EQ(saved.user, "Old");
}

TEST(HandheldStoreChanges, ResetFindsTheLoaderOnlyWhenItIsInstalledInRam) {
    StateDir dir;
    HandheldStore store(dir.Path());
    std::string error;
    EXPECT_FALSE(BootletInstalled(dir.Path(), {}));  // no ram/ at all
    PalmDatabase impostor = BuildBootletDatabase();
    impostor.creator = palmdb::FourCc("Xxxx");
    ASSERT_TRUE(store.Write(StoreFolder::Ram, impostor, error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::Install, BuildBootletDatabase(), error)) << error;
    EXPECT_FALSE(BootletInstalled(dir.Path(), {}));  // queued is not installed
    ASSERT_TRUE(store.Write(StoreFolder::Ram, BuildBootletDatabase(), error)) << error;
    EXPECT_TRUE(BootletInstalled(dir.Path(), {}));

    StoreChanges changes;
    NoteStoreEvent(dir.Path(), StoreEvent::RamStoreErased, changes);
    EXPECT_FALSE(BootletInstalled(dir.Path(), changes));
    ASSERT_TRUE(store.Write(StoreFolder::Ram, BuildBootletDatabase(), error)) << error;
    Later(dir / "ram" / "Bootlet.PRC");
    EXPECT_TRUE(BootletInstalled(dir.Path(), changes));  // installed again after the erase
}

}  // namespace
