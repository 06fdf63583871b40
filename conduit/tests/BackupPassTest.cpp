// The backup run as HotSync Manager calls it, one scenario a row: a handheld, the desktop
// before, the sync properties, and what the desktop and the HotSync log hold afterwards.
#include "conduit/BackupPass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "conduit/tests/PassWorld.h"

namespace {

using Check = std::function<void(PassWorld&)>;

// A handheld of every kind of database the passes tell apart.
void TypicalHandheld(PassWorld& w) {
    w.handheld.ram = {
        MakeDb({.name = "Address DB", .records = 3, .appInfo = true}),
        MakeDb({.name = "Calc", .records = 2, .resource = true, .type = "appl", .creator = "KCal"}),
        MakeDb({.name = "To.Do:List", .seed = 20}),
        MakeDb({.name = "To Do List", .seed = 30}),  // comes out as the same file name
        MakeDb({.name = "Tab\tName", .seed = 40}),
        MakeDb({.name = std::string(32, 'L'), .seed = 50}),
        MakeDb({.name = "Empty", .records = 0}),
        MakeDb({.name = "Unsaved Preferences", .records = 1}),
    };
    w.handheld.rom = {
        MakeDb({.name = "System", .resource = true, .creator = "psys"}),
        MakeDb(
            {.name = "Added App", .resource = true, .type = "appl", .creator = "KAdd", .seed = 60}),
        MakeDb({.name = "Lower", .creator = "abcd"}),
        MakeDb({.name = "Overlay", .resource = true, .type = "ovly", .creator = "KOvl"}),
        MakeDb({.name = "Fallback", .creator = "FBck"}),
        MakeDb({.name = "Added Data", .creator = "ab1d", .seed = 70}),
    };
}

const std::vector<std::string> kTypicalFiles = {
    "BACKUP/Address_DB.PDB",   "BACKUP/Calc.PRC",
    "BACKUP/Empty.PDB",        "BACKUP/" + std::string(32, 'L') + ".PDB",
    "BACKUP/Tab_Name.PDB",     "BACKUP/To_Do_List.PDB",
    "BACKUP/To_Do_List_2.PDB", "ROM_Files/Added_App.PRC",
    "ROM_Files/Added_Data.PDB"};

// The file holds exactly the handheld's database (dates, records, resources, AppInfo).
void Holds(PassWorld& w, const std::string& file, const PalmDatabase& want) {
    SCOPED_TRACE(file);
    const PalmDatabase got = w.Read(file);
    EXPECT_EQ(got.Name(), want.Name());
    EXPECT_EQ(got.creationDate, want.creationDate);
    EXPECT_EQ(got.modificationDate, want.modificationDate);
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.creator, want.creator);
    EXPECT_EQ(got.appInfo, want.appInfo);
    ASSERT_EQ(got.records.size(), want.records.size());
    for (size_t i = 0; i < want.records.size(); ++i) {
        EXPECT_EQ(got.records[i].data, want.records[i].data);
        EXPECT_EQ(got.records[i].attributes, want.records[i].attributes);
        EXPECT_EQ(got.records[i].uniqueId, want.records[i].uniqueId);
    }
    ASSERT_EQ(got.resources.size(), want.resources.size());
    for (size_t i = 0; i < want.resources.size(); ++i) {
        EXPECT_EQ(got.resources[i].data, want.resources[i].data);
        EXPECT_EQ(got.resources[i].type, want.resources[i].type);
        EXPECT_EQ(got.resources[i].id, want.resources[i].id);
    }
}

// A previous HotSync's backup of the handheld as it was, then the handheld changes every
// database's modification date, so the run has everything to write again.
void BackedUpThenChanged(PassWorld& w) {
    TypicalHandheld(w);
    ASSERT_EQ(w.Run(), 0);
    w.log.lines.clear();
    for (auto* list : {&w.handheld.ram, &w.handheld.rom})
        for (PalmDatabase& db : *list) {
            db.modificationDate += 600;
            for (PalmRecord& r : db.records) r.data.push_back(0xEE);
        }
}

// Every file of the desktop as it was before the run, byte for byte.
std::map<std::string, std::string> Snapshot(PassWorld& w) {
    std::map<std::string, std::string> bytes;
    for (const std::string& file : w.Files()) bytes[file] = w.Bytes(file);
    return bytes;
}

struct Scenario {
    const char* name;
    const char* catches;
    std::function<void(PassWorld&)> before;
    uint32_t syncType = syncprops::kSyncTypeHandheldOverwrites;
    bool modem = false;
    int32_t result = 0;
    std::vector<std::string> log;  // in this order, among the others
    Check after;
};

// The desktop before the run, for the rows whose run must leave files untouched.
std::map<std::string, std::string> g_before;

const Scenario kScenarios[] = {
    {"FirstBackup",
     "every RAM database and every user-added ROM database written once, in the right folder, "
     "under distinct names; stock, overlay, fallback and lower-case-creator ROM databases and "
     "Unsaved Preferences left out",
     TypicalHandheld,
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"> Stashmate: starting [time]", "Version: 1.40", "Archiving of deleted databases enabled",
      "Verbose logging enabled", "\t- Wrote Address DB (1)",
      "\t* Unsaved Preferences: excluded from backup", "\t- Wrote Added App (1)",
      "Orphaned files being archived from BACKUP to Archived_Files",
      "Orphaned files being archived from ROM_Files to Archived_Files", "= Stashmate"},
     [](PassWorld& w) {
         EXPECT_EQ(w.Files(), kTypicalFiles);
         Holds(w, "BACKUP/Address_DB.PDB", w.handheld.ram[0]);
         Holds(w, "BACKUP/Calc.PRC", w.handheld.ram[1]);
         Holds(w, "BACKUP/To_Do_List.PDB", w.handheld.ram[2]);
         Holds(w, "BACKUP/To_Do_List_2.PDB", w.handheld.ram[3]);
         Holds(w, "BACKUP/" + std::string(32, 'L') + ".PDB", w.handheld.ram[5]);
         Holds(w, "ROM_Files/Added_App.PRC", w.handheld.rom[1]);
         EXPECT_EQ(w.sync->closesUpdatingBackup, 7) << "RAM databases on OS 3 note the backup";
         EXPECT_FALSE(w.windows.open);
     }},
    {"SecondBackupUnchanged",
     "a second HotSync of an unchanged handheld reads no record and writes no file, and every "
     "database keeps its own file (no name collision moves)",
     [](PassWorld& w) {
         TypicalHandheld(w);
         ASSERT_EQ(w.Run(), 0);
         g_before = Snapshot(w);
         w.log.lines.clear();
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"\t- Address DB is up to date", "\t- To Do List is up to date",
      "\t- Added App is up to date"},
     [](PassWorld& w) {
         EXPECT_EQ(w.sync->recordReads, 0);
         EXPECT_EQ(w.sync->opens, 0);
         EXPECT_EQ(Snapshot(w), g_before);
     }},
    {"DoNothing",
     "a Do Nothing HotSync logs one line and touches nothing",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.Write("BACKUP/Old.PDB", "old");
     },
     syncprops::kSyncTypeDoNothing,
     false,
     0,
     {"Vantaro Extractor: Sync configured to Do Nothing - exiting."},
     [](PassWorld& w) {
         EXPECT_EQ(w.log.lines.size(), 1u);
         EXPECT_EQ(w.Files(), std::vector<std::string>{"BACKUP/Old.PDB"});
         EXPECT_EQ(w.sync->registered, 0);
     }},
    {"DesktopOverwrites",
     "a Desktop-overwrites HotSync logs one line and touches nothing",
     TypicalHandheld,
     syncprops::kSyncTypeDesktopOverwrites,
     false,
     0,
     {"Vantaro Extractor: Sync configured to Desktop overwrites Handheld - exiting."},
     [](PassWorld& w) {
         EXPECT_EQ(w.log.lines.size(), 1u);
         EXPECT_TRUE(w.Files().empty());
     }},
    {"RestoreDetected",
     "a handheld without a user is being restored: the default conduit goes back and the "
     "backup stays exactly as it was",
     [](PassWorld& w) {
         TypicalHandheld(w);
         ASSERT_EQ(w.Run(), 0);
         g_before = Snapshot(w);
         w.log.lines.clear();
         w.handheld.user.clear();
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"Stashmate: restore operation detected.  Exiting.",
      "Default backup conduit succesfully restored.  HotSync Manager should be restarted."},
     [](PassWorld& w) {
         EXPECT_EQ(Snapshot(w), g_before);
         EXPECT_EQ(w.backupConduitWrites, std::vector<std::string>{"bakcn20.dll"});
         EXPECT_EQ(w.sync->registered, 0) << "unregistered";
     }},
    {"CancelKeepsEverything",
     "Cancel stops before the next database; what was written stays, every other previous "
     "backup is still there",
     [](PassWorld& w) {
         BackedUpThenChanged(w);
         g_before = Snapshot(w);
         w.windows.cancelAtCheck = 1;
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     syncerr::kCancelled,
     {"\t- Wrote Address DB (2)",
      "! Stashmate: Backup operation cancelled at user's request.  Exiting.", "x Stashmate"},
     [](PassWorld& w) {
         EXPECT_EQ(w.Files(), kTypicalFiles);
         for (const auto& [file, bytes] : g_before) {
             if (file != "BACKUP/Address_DB.PDB") {
                 EXPECT_EQ(w.Bytes(file), bytes) << file;
             }
         }
         Holds(w, "BACKUP/Address_DB.PDB", w.handheld.ram[0]);
     }},
    {"ConnectionLostKeepsPreviousBackups",
     "a connection lost at a database stops the run with a failure, and every backup it did "
     "not get to stays as the previous HotSync left it",
     [](PassWorld& w) {
         BackedUpThenChanged(w);
         g_before = Snapshot(w);
         w.handheld.lostAt = "To.Do:List";
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     syncerr::kConnectionLost,
     {"\t- Wrote Calc (2)",
      "! WARNING: Unable to open remote file: To.Do:List (268461072).  Skipping.",
      "! Stashmate: connection lost while trying to backup To.Do:List.  \nStashmate: exiting - "
      "handheld files were not completely backed up.",
      "x Stashmate"},
     [](PassWorld& w) {
         EXPECT_EQ(w.Files(), kTypicalFiles);
         for (const char* kept : {"BACKUP/To_Do_List.PDB", "BACKUP/To_Do_List_2.PDB",
                                  "BACKUP/Tab_Name.PDB", "ROM_Files/Added_App.PRC"})
             EXPECT_EQ(w.Bytes(kept), g_before[kept]) << kept;
         EXPECT_EQ(std::count(w.sleeps.begin(), w.sleeps.end(), 1000u), 6)
             << "seven tries, a second between them";
     }},
    {"UnreadableRecordLosesOnlyItsDatabase",
     "a record that cannot be read costs that database's new backup only; its previous one "
     "stays, the others are written",
     [](PassWorld& w) {
         BackedUpThenChanged(w);
         g_before = Snapshot(w);
         w.handheld.badRecordIn = "Calc";
         w.handheld.badRecordIndex = 1;
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"! WARNING: Unable to fully read handheld file: Calc (16387).  It was NOT backed up.",
      "! WARNING: Stashmate encountered an error while trying to backup handheld file Calc "
      "(16387).  Handheld file was not backed up.",
      "\t- Wrote To.Do:List (2)", "= Stashmate"},
     [](PassWorld& w) {
         EXPECT_EQ(w.Bytes("BACKUP/Calc.PRC"), g_before["BACKUP/Calc.PRC"]);
         Holds(w, "BACKUP/To_Do_List.PDB", w.handheld.ram[2]);
     }},
    {"OversizedAnswer",
     "a Sync Manager that answers a record larger than the buffer it was given loses that "
     "database instead of a read past the buffer",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.oversizedIn = "Address DB";
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"! WARNING: Unable to fully read handheld file: Address DB (16408).  It was NOT backed up."},
     [](PassWorld& w) { EXPECT_FALSE(w.Exists("BACKUP/Address_DB.PDB")); }},
    {"TransientAnswersRetried",
     "a busy handheld is asked again after a second, and the backup completes",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.transientAnswers = 2;
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"= Stashmate"},
     [](PassWorld& w) {
         EXPECT_EQ(w.Files(), kTypicalFiles);
         EXPECT_FALSE(w.sleeps.empty());
     }},
    {"NoFlashRomDatabases",
     "a handheld whose flash ROM holds no database is still backed up: an empty list is not a "
     "lost connection",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.rom.clear();
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"\t- Wrote Calc (1)", "= Stashmate"},
     [](PassWorld& w) { EXPECT_EQ(w.Files().size(), kTypicalFiles.size() - 2); }},
    {"UserUnreadable",
     "a handheld whose user cannot be read is not backed up, and says so",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.transientAnswers = 7;
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"! WARNING: Unable to read user information from the handheld"},
     [](PassWorld& w) { EXPECT_TRUE(w.Files().empty()); }},
    {"OrphansArchived",
     "a database gone from the handheld has its backup archived; one whose copy sits in the "
     "other memory with the same dates is deleted, not archived; a short file stays",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.ram.push_back(MakeDb({.name = "Gone", .seed = 90}));
         w.handheld.ram.push_back(MakeDb({.name = "Into ROM", .creator = "abcd", .seed = 91}));
         ASSERT_EQ(w.Run(), 0);
         w.log.lines.clear();
         w.handheld.ram.pop_back();
         w.handheld.ram.pop_back();
         // Now in the flash ROM, where a lower-case creator is not backed up.
         w.handheld.rom.push_back(MakeDb({.name = "Into ROM", .creator = "abcd", .seed = 91}));
         w.Write("BACKUP/Short.PDB", "too short");
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"\t- Gone.PDB"},
     [](PassWorld& w) {
         const auto& lines = w.log.lines;
         EXPECT_NE(std::find(lines.begin(), lines.end(),
                             "WARNING:  error reading Short.PDB while trying to delete orphaned "
                             "files"),
                   lines.end());
         EXPECT_TRUE(w.Exists("Archived_Files/Gone.PDB"));
         EXPECT_FALSE(w.Exists("BACKUP/Gone.PDB"));
         EXPECT_FALSE(w.Exists("BACKUP/Into_ROM.PDB"));
         EXPECT_FALSE(w.Exists("Archived_Files/Into_ROM.PDB"));
         EXPECT_TRUE(w.Exists("BACKUP/Short.PDB"));
     }},
    {"MovedIntoFlashRom",
     "a database the user moved from RAM into the flash ROM takes its backup along instead of "
     "reading it again",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.ram.push_back(MakeDb({.name = "Traveller", .creator = "KTrv", .seed = 92}));
         ASSERT_EQ(w.Run(), 0);
         w.log.lines.clear();
         w.handheld.rom.push_back(w.handheld.ram.back());
         w.handheld.ram.pop_back();
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"\t- Traveller: moved to FlashROM.  Backup copy moved to FlashROM directory"},
     [](PassWorld& w) {
         EXPECT_FALSE(w.Exists("BACKUP/Traveller.PDB"));
         Holds(w, "ROM_Files/Traveller.PDB", w.handheld.rom.back());
         EXPECT_EQ(w.sync->recordReads, 0);
     }},
    {"UnsavedPreferencesDeleted",
     "a backup of Unsaved Preferences found in the backup folder is deleted, with a warning",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.Write("BACKUP/Unsaved_Preferences.PDB", MakeDb({.name = "Unsaved Preferences"}));
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"! WARNING: Unsaved Preferences found in the backup directory, though it has been "
      "excluded - will delete"},
     [](PassWorld& w) { EXPECT_FALSE(w.Exists("BACKUP/Unsaved_Preferences.PDB")); }},
    {"ModemExclusion",
     "a modem HotSync leaves out the databases flagged for it",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.miscFlags["Calc"] = dbentry::kExcludedFromModemSync;
     },
     syncprops::kSyncTypeHandheldOverwrites,
     true,
     0,
     {"Calc excluded from backup per modem conduit settings."},
     [](PassWorld& w) { EXPECT_FALSE(w.Exists("BACKUP/Calc.PRC")); }},
    {"GraffitiShortCutsStandsAside",
     "\"Graffiti ShortCuts\" beside a newer one of its kind loses its backup and is not written",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.handheld.ram.push_back(MakeDb({.name = "Graffiti ShortCuts", .resource = true}));
         ASSERT_EQ(w.Run(), 0);
         w.log.lines.clear();
         w.handheld.ram.push_back(MakeDb({.name = "Graffiti ShortCuts 2", .resource = true}));
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"\t- Wrote Graffiti ShortCuts 2 (1)"},
     [](PassWorld& w) {
         EXPECT_FALSE(w.Exists("BACKUP/Graffiti_ShortCuts.PRC"));
         Holds(w, "BACKUP/Graffiti_ShortCuts_2.PRC", w.handheld.ram.back());
     }},
    {"ScratchAndHalfFilesCleaned",
     "the scratch folder and pieces an interrupted run left go; backups stay",
     [](PassWorld& w) {
         TypicalHandheld(w);
         w.Write("BACKUP/temp007/leftover/x.PDB", "x");
         w.Write("BACKUP/Calc.PRC.~sm", "half a file");
     },
     syncprops::kSyncTypeHandheldOverwrites,
     false,
     0,
     {"= Stashmate"},
     [](PassWorld& w) { EXPECT_EQ(w.Files(), kTypicalFiles); }},
};

class BackupPass : public ::testing::TestWithParam<Scenario> {};

TEST_P(BackupPass, Scenario) {
    const Scenario& s = GetParam();
    SCOPED_TRACE(s.catches);
    PassWorld w;
    s.before(w);
    EXPECT_EQ(w.Run(s.syncType, s.modem), s.result);
    auto at = w.log.lines.begin();
    for (const std::string& line : s.log) {
        const auto found = std::find(at, w.log.lines.end(), line);
        EXPECT_NE(found, w.log.lines.end()) << "missing (or out of order): " << line;
        if (found != w.log.lines.end()) at = found + 1;
    }
    if (HasFailure()) {
        std::string all;
        for (const std::string& line : w.log.lines) all += "\n  " + line;
        ADD_FAILURE() << "the log:" << all;
    }
    s.after(w);
}

// Wherever the connection goes, no previous backup is lost: each file is either the previous
// HotSync's, untouched, or a complete new one.
TEST(BackupPassInterrupted, AtEveryDatabaseEveryBackupIsWhole) {
    PassWorld probe;
    TypicalHandheld(probe);
    std::vector<std::string> stops;
    for (const auto* list : {&probe.handheld.ram, &probe.handheld.rom})
        for (const PalmDatabase& db : *list) stops.push_back(db.Name());
    for (const std::string& stop : stops) {
        SCOPED_TRACE("connection lost at " + stop);
        PassWorld w;
        BackedUpThenChanged(w);
        const auto before = Snapshot(w);
        w.handheld.lostAt = stop;
        w.Run();
        EXPECT_EQ(w.Files(), kTypicalFiles);
        for (const auto& [file, bytes] : before) {
            const std::string now = w.Bytes(file);
            if (now == bytes) continue;
            // Rewritten: then it is the whole new backup of its database.
            const PalmDatabase got = w.Read(file);
            bool whole = false;
            for (const auto* list : {&w.handheld.ram, &w.handheld.rom})
                for (const PalmDatabase& db : *list)
                    if (db.Name() == got.Name()) {
                        Holds(w, file, db);
                        whole = true;
                    }
            EXPECT_TRUE(whole) << file;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Conduit, BackupPass, ::testing::ValuesIn(kScenarios),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
