// The backup conduit as HotSync Manager runs it: the HotSync Manager stand-in loads the real
// stashmate.dll as its backup conduit, beside the stand-ins of sync20.dll, hslog20.dll,
// condmgr.dll and pdcmn21.dll, on a handheld of a few dozen databases of every kind. Every
// backup file is read back by Palm::PDB, a reader this project did not write (the Linux
// half's backup_check.pl), and compared with the database the handheld held.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/SyncLayouts.h"
#include "sim/hotsync/World.h"
#include "tests/e2e/wizard/WizardWorld.h"

namespace e2e {
namespace {

constexpr DWORD kHotSyncWaitMs = 120000;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return lines;
}

PalmDatabase Database(const std::string& name, int records, bool resources, uint8_t seed) {
    PalmDatabase db;
    db.SetName(name);
    db.attributes = resources ? palmdb::kResourceDatabase : 0x0008;  // the backup flag
    db.version = static_cast<uint16_t>(seed % 5);
    db.type = resources ? palmdb::FourCc("appl") : palmdb::FourCc("DATA");
    db.creator = palmdb::FourCc("KTst");
    db.creationDate = 3'000'000'000u + seed * 1000u;
    db.modificationDate = 3'100'000'000u + seed * 1000u;
    db.backupDate = seed % 2 ? 3'050'000'000u : 0;
    db.modificationNumber = seed * 7u;
    for (int i = 0; i < records; ++i) {
        std::vector<uint8_t> data(static_cast<size_t>(1 + (i * 37 + seed) % 300),
                                  static_cast<uint8_t>(seed * 3 + i));
        if (resources) {
            db.resources.push_back(
                {palmdb::FourCc(i % 2 ? "tSTR" : "code"), static_cast<uint16_t>(1000 + i), data});
        } else {
            // Categories 0 to 15; now and then a private, a deleted or an archived one.
            uint8_t attributes = static_cast<uint8_t>(0x40 | (i % 16));
            if (i % 7 == 3) attributes = 0x10 | static_cast<uint8_t>(i % 16);
            if (i % 11 == 5) attributes = 0x80;         // deleted
            if (i % 13 == 6) attributes = 0x80 | 0x08;  // archived
            db.records.push_back(
                {attributes, static_cast<uint32_t>(0x200000 + seed * 100 + i), data});
        }
    }
    if (!resources && seed % 2 == 0) db.appInfo = std::vector<uint8_t>(20 + seed, seed);
    return db;
}

// A registry key made for one test, and every key above it that it made, taken away after
// it with whatever they then hold: the Wine prefix is shared, and a vendor's key left behind
// would be a Palm Desktop for the tests that follow.
class MadeKey {
public:
    explicit MadeKey(const std::string& path) {
        for (size_t at = path.find('\\');; at = path.find('\\', at + 1)) {
            const std::string level = path.substr(0, at);
            HKEY key = nullptr;
            DWORD disposition = 0;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, level.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, &disposition) != ERROR_SUCCESS)
                break;
            RegCloseKey(key);
            if (disposition == REG_CREATED_NEW_KEY) made_.push_back(level);
            if (at == std::string::npos) break;
        }
    }
    ~MadeKey() {
        for (auto level = made_.rbegin(); level != made_.rend(); ++level)
            RegDeleteKeyA(HKEY_CURRENT_USER, level->c_str());
    }

private:
    std::vector<std::string> made_;
};

class Conduit : public ::testing::Test {
protected:
    // A desk whose handheld holds the scenario's databases, the real conduit named as
    // HotSync Manager's backup conduit, and the user's folders where the Linux half reads them.
    void MakeDesk(const std::string& name) {
        desk_ = std::make_unique<Desk>(name, 0);
        Desk& desk = *desk_;
        std::string error;
        uint8_t seed = 1;
        auto add = [&](StoreFolder folder, const PalmDatabase& db) {
            EXPECT_TRUE(desk.store.Write(folder, db, error)) << db.Name() << ": " << error;
        };
        for (int i = 1; i <= 20; ++i) {
            const std::string n = (i < 10 ? "Notes 0" : "Notes ") + std::to_string(i);
            add(StoreFolder::Ram, Database(n, i * 3 % 17, i % 4 == 0, seed++));
        }
        add(StoreFolder::Ram, Database("Empty records", 0, false, seed++));
        add(StoreFolder::Ram, Database("Empty resources", 0, true, seed++));
        add(StoreFolder::Ram, Database(std::string(32, 'W'), 4, false, seed++));
        for (const char* colliding : {"A.B", "A B", "A:B"})  // one file name once replaced
            add(StoreFolder::Ram, Database(colliding, 3, false, seed++));
        add(StoreFolder::Ram, Database("Tab\tName", 2, false, seed++));
        add(StoreFolder::Ram, Database("Big records", 40, false, seed++));
        add(StoreFolder::Rom, Database("System", 3, true, seed++));
        add(StoreFolder::RomAdded, Database("Added app", 5, true, seed++));
        add(StoreFolder::RomAdded, Database("Added data", 6, false, seed++));

        userFolder_ = desk.UserFolder();
        desk.world.SetHotSyncText("BackupConduit", desk.kit + "\\stashmate.dll");
    }

    // One HotSync by the stand-in, from its start to its end; the lines it added to the log.
    std::vector<std::string> HotSync() {
        const std::string log = userFolder_ + "\\HotSync.log";
        const size_t before = Lines(ReadText(log)).size();
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string command = "\"" + desk_->palm + "\\HotSync.exe\" --hotsync";
        EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   desk_->palm.c_str(), &startup, &info));
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        std::vector<std::string> added;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < kHotSyncWaitMs;
             Sleep(50)) {
            const auto lines = Lines(ReadText(log));
            if (lines.size() > before &&
                std::any_of(
                    lines.begin() + static_cast<long>(before), lines.end(),
                    [](const std::string& l) { return l.rfind("HotSync completed", 0) == 0; })) {
                added.assign(lines.begin() + static_cast<long>(before), lines.end());
                break;
            }
        }
        EndHotSyncManagers();
        EXPECT_FALSE(added.empty()) << "the HotSync did not end";
        return added;
    }

    static bool Has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static bool HasStart(const std::vector<std::string>& lines, const std::string& start) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    }

    // Every file of the user's backup folders, byte for byte.
    std::map<std::string, std::string> Backups() const {
        std::map<std::string, std::string> files;
        for (const char* folder : {"BACKUP", "ROM_Files", "Archived_Files"}) {
            WIN32_FIND_DATAA found;
            const std::string dir = userFolder_ + "\\" + folder;
            HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                files[std::string(folder) + "\\" + found.cFileName] =
                    ReadText(dir + "\\" + found.cFileName);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        return files;
    }

    void Snapshot(const std::string& as) { desk_->Snapshot(as); }
    // `lagging`: backed up since some files were written, whose backup dates then lag the
    // handheld's.
    void CheckBackup(const std::string& as, bool lagging = false) {
        desk_->CheckBackups(as, lagging);
    }

    void SetFault(const char* name, const std::string& text) {
        desk_->world.SetSetting(name, text);
    }

    std::unique_ptr<MadeKey> madeKey_;  // goes after the desk, which puts back what it found
    std::unique_ptr<Desk> desk_;
    std::string userFolder_;
};

// The first backup: every RAM database and every database added to the flash ROM, each in a
// file of its own that Palm::PDB reads back equal to the handheld's, the conduit's account in
// the HotSync log, and HotSync Manager's own backup not made.
TEST_F(Conduit, EveryDatabaseBackedUpAndReadBackByPalmPdb) {
    MakeDesk("conduit-first");
    Snapshot("first-before");
    const auto log = HotSync();
    EXPECT_TRUE(HasStart(log, "> Stashmate: starting [")) << "the conduit ran";
    EXPECT_TRUE(Has(log, "Version: 1.40"));
    EXPECT_TRUE(Has(log, "\t- Wrote A.B (1)"));
    EXPECT_TRUE(Has(log, "\t- Wrote Added app (1)"));
    EXPECT_TRUE(Has(log, "= Stashmate"));
    EXPECT_FALSE(HasStart(log, "! ")) << "no warning";
    EXPECT_FALSE(HasStart(log, "Backup conduit bakcn20.dll"));
    CheckBackup("first-before");

    // Again, unchanged: nothing read, nothing written.
    const auto files = Backups();
    const auto again = HotSync();
    EXPECT_TRUE(Has(again, "\t- Notes 01 is up to date"));
    EXPECT_FALSE(std::any_of(again.begin(), again.end(),
                             [](const std::string& l) { return l.rfind("\t- Wrote", 0) == 0; }));
    EXPECT_EQ(Backups(), files);
}

// A HotSync cut short at a database, at the first, one in the middle and the last: the run
// fails, and every backup file is either the previous HotSync's, untouched, or a whole new
// one; the next HotSync completes the backup.
TEST_F(Conduit, ConnectionLostAnywhereKeepsEveryPreviousBackup) {
    MakeDesk("conduit-lost");
    HotSync();
    for (const char* stop : {"A B", "Notes 12", "Added data"}) {
        SCOPED_TRACE(stop);
        // The handheld changes every database, so the run has everything to write again.
        std::vector<StoredDatabase> databases;
        std::vector<DamagedFile> damaged;
        std::string error;
        for (StoreFolder folder : {StoreFolder::Ram, StoreFolder::RomAdded}) {
            ASSERT_TRUE(desk_->store.List(folder, databases, damaged, error)) << error;
            for (StoredDatabase& stored : databases) {
                stored.database.modificationDate += 100;
                ASSERT_TRUE(desk_->store.Write(folder, stored.database, error)) << error;
            }
        }
        const auto before = Backups();
        SetFault(hsworld::kFaultLostAt, stop);
        const auto log = HotSync();
        EXPECT_TRUE(HasStart(
            log, "! Stashmate: connection lost while trying to backup " + std::string(stop)));
        EXPECT_TRUE(Has(log, "x Stashmate"));
        const auto after = Backups();
        EXPECT_EQ(after.size(), before.size()) << "no backup lost, no piece left";
        size_t rewritten = 0;
        for (const auto& [file, bytes] : before) rewritten += after.at(file) != bytes;
        EXPECT_LT(rewritten, before.size());
        SetFault(hsworld::kFaultLostAt, std::string());
        Snapshot("lost-before");
        HotSync();
        CheckBackup("lost-before", true);
    }
}

// The Sync Manager's other faults: a busy handheld answered again and again, and a record that
// cannot be read, which costs that database's new backup only.
TEST_F(Conduit, BusyHandheldAndUnreadableRecord) {
    MakeDesk("conduit-faults");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, hsworld::kKey, 0, KEY_SET_VALUE, &key), 0);
    const DWORD three = 3;  // three calls turned away once each: three seconds of waiting
    RegSetValueExA(key, hsworld::kFaultTransient, 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&three), sizeof three);
    Snapshot("busy-before");
    auto log = HotSync();
    EXPECT_TRUE(Has(log, "= Stashmate"));
    CheckBackup("busy-before");
    RegDeleteValueA(key, hsworld::kFaultTransient);

    const auto before = Backups();
    PalmDatabase big;
    std::string error;
    ASSERT_EQ(desk_->store.Read(StoreFolder::Ram, "Big records", big, error), StoreStatus::Ok);
    big.modificationDate += 100;
    ASSERT_TRUE(desk_->store.Write(StoreFolder::Ram, big, error));
    SetFault(hsworld::kFaultBadRecord, "Big records");
    const DWORD index = 17;
    RegSetValueExA(key, hsworld::kFaultBadRecordIndex, 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&index), sizeof index);
    RegCloseKey(key);
    log = HotSync();
    EXPECT_TRUE(HasStart(log, "! WARNING: Unable to fully read handheld file: Big records ("));
    EXPECT_TRUE(Has(log, "= Stashmate")) << "one database lost is no failed run";
    EXPECT_EQ(Backups().at("BACKUP\\Big_records.PDB"), before.at("BACKUP\\Big_records.PDB"));
    SetFault(hsworld::kFaultBadRecord, std::string());
}

// The desktop's disk fills up while the conduit writes: the files it could not write keep
// their previous backups, whole, and no piece of a file is left.
TEST_F(Conduit, DiskFullKeepsThePreviousBackups) {
    MakeDesk("conduit-full");
    // The backup folder on a disk of its own: the HotSync log beside it still has room.
    Linux::Ask("small-disk conduit-full-desktop/Ann%20Smith/BACKUP 2048");
    HotSync();
    const auto before = Backups();
    ASSERT_FALSE(before.empty());

    std::vector<StoredDatabase> databases;
    std::vector<DamagedFile> damaged;
    std::string error;
    ASSERT_TRUE(desk_->store.List(StoreFolder::Ram, databases, damaged, error)) << error;
    for (StoredDatabase& stored : databases) {
        stored.database.modificationDate += 100;
        for (PalmRecord& record : stored.database.records) record.data.push_back(1);
        ASSERT_TRUE(desk_->store.Write(StoreFolder::Ram, stored.database, error)) << error;
    }
    SetFault(hsworld::kFaultDiskFullAt, "Notes 05");
    const auto log = HotSync();
    SetFault(hsworld::kFaultDiskFullAt, std::string());
    EXPECT_TRUE(HasStart(log, "! WARNING: Unable to write local file: ") ||
                HasStart(log, "! WARNING: Unable to open local file: "));
    const auto after = Backups();
    EXPECT_EQ(after.size(), before.size()) << "no backup lost, no piece left";
    for (const auto& [file, bytes] : after) {
        EXPECT_GE(bytes.size(), 78u) << file << " is cut short";
    }
    EXPECT_EQ(after.at("BACKUP\\Notes_10.PDB"), before.at("BACKUP\\Notes_10.PDB"))
        << "written after the disk was full: the previous backup";
}

// The HotSync after the update: the handheld has no user, so the conduit leaves the desktop
// alone and hands the job back to HotSync Manager's own backup conduit, which HotSync Manager
// then restores from.
TEST_F(Conduit, RestoreHotSyncGivesTheDefaultConduitBack) {
    // The one key the conduit writes the default back into: Palm Desktop's first vendor's.
    madeKey_ = std::make_unique<MadeKey>("Software\\U.S. Robotics\\Pilot Desktop\\HotSync Manager");
    MakeDesk("conduit-restore");
    HotSync();
    const auto files = Backups();
    std::string error;
    ASSERT_TRUE(desk_->store.WriteUser("", error)) << error;
    ASSERT_TRUE(desk_->store.Clear(StoreFolder::Ram, error)) << error;
    const auto log = HotSync();
    EXPECT_TRUE(Has(log, "Stashmate: restore operation detected.  Exiting."));
    EXPECT_TRUE(Has(log,
                    "Default backup conduit succesfully restored.  HotSync Manager should "
                    "be restarted."));
    EXPECT_EQ(Backups(), files);
    std::string conduit;
    for (const RegistryValue& value : desk_->world.HotSyncValues())
        if (value.name == "BackupConduit") conduit.assign(value.data.begin(), value.data.end());
    EXPECT_EQ(conduit, std::string("bakcn20.dll", sizeof "bakcn20.dll"));
    std::vector<StoredDatabase> back;
    std::vector<DamagedFile> damaged;
    ASSERT_TRUE(desk_->store.List(StoreFolder::Ram, back, damaged, error));
    EXPECT_EQ(back.size(), 28u) << "HotSync Manager restored every database";
}

// The entries HotSync Manager calls besides OpenConduit, in the library as it ships.
TEST_F(Conduit, EntriesAsHotSyncManagerCallsThem) {
    MakeDesk("conduit-entries");
    const std::string path = desk_->kit + "\\stashmate.dll";
    SetDllDirectoryA(desk_->palm.c_str());  // where HotSync Manager's libraries are
    HMODULE library = LoadLibraryA(path.c_str());
    SetDllDirectoryA(nullptr);
    ASSERT_NE(library, nullptr);
    auto entry = [&](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(library, name));
    };
    using NameCall = LONG(WINAPI*)(char*, WORD);
    using VersionCall = DWORD(WINAPI*)();
    using InfoCall = LONG(WINAPI*)(int, void*, void*, DWORD*);
    using RegisterCall = LONG(WINAPI*)();
    using ConfigureCall = LONG(WINAPI*)(void*);

    char name[16];
    EXPECT_EQ(reinterpret_cast<NameCall>(entry("GetConduitName"))(name, sizeof name), 0);
    EXPECT_STREQ(name, "Stashmate");
    EXPECT_EQ(reinterpret_cast<VersionCall>(entry("GetConduitVersion"))(), 0x0101u);
    DWORD value = 0, size = 4;
    EXPECT_EQ(reinterpret_cast<InfoCall>(entry("GetConduitInfo"))(2, nullptr, &value, &size), 0);
    EXPECT_EQ(value, 2u);

    auto backupConduit = [&] {
        for (const RegistryValue& v : desk_->world.HotSyncValues())
            if (v.name == "BackupConduit") return std::string(v.data.begin(), v.data.end());
        return std::string();
    };
    EXPECT_EQ(reinterpret_cast<RegisterCall>(entry("InstallStashmate"))(), 0);
    EXPECT_EQ(backupConduit(), path + '\0');
    EXPECT_EQ(reinterpret_cast<RegisterCall>(entry("UninstallStashmate"))(), 0);
    EXPECT_EQ(backupConduit(), std::string("bakcn20.dll", sizeof "bakcn20.dll"));

    // The action dialog, as a user works it: "Do Nothing", "Set as default", OK.
    std::vector<uint8_t> preferences(syncprefs::kSize, 0);
    preferences[syncprefs::kSyncType] = 2;
    std::thread user([&] {
        wizard::WizardDriver driver;
        const auto dialog = driver.WaitWindow("Change Hotsync Action");
        driver.Press(driver.WaitControl(dialog, wizard::ControlRef::Text("Do Nothing")));
        driver.Press(driver.WaitControl(dialog, wizard::ControlRef::Text("Set as default")));
        driver.Press(driver.WaitControl(dialog, wizard::ControlRef::Text("OK")));
    });
    EXPECT_EQ(reinterpret_cast<ConfigureCall>(entry("ConfigureConduit"))(preferences.data()), 0);
    user.join();
    EXPECT_EQ(preferences[syncprefs::kSyncType], syncprops::kSyncTypeDoNothing);
    EXPECT_EQ(preferences[syncprefs::kPermanence], syncprefs::kPermanent);
    FreeLibrary(library);
}

}  // namespace
}  // namespace e2e
