#include "conduit/BackupPass.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "base/ByteOrder.h"
#include "base/SyncLayouts.h"
#include "base/Text.h"
#include "conduit/BackupFile.h"
#include "conduit/BackupNames.h"
#include "conduit/BackupWindows.h"
#include "conduit/ConduitEntries.h"
#include "conduit/DesktopFiles.h"
#include "conduit/OrphanArchive.h"
#include "conduit/SMPrefs.h"
#include "conduit/SyncCalls.h"
#include "conduit/VirusScan.h"

namespace {

// The run's fixed options, as its banners say them; the settings file does not change them.
constexpr const char* kBanners[] = {
    "Archiving of deleted databases enabled",
    "Backup of built-in conduit databases enabled",
    "Backup of Unsaved Preferences disabled",
    "FlashROM backup enabled",
    "Expansion card backup disabled",
    "Automatic excluding of modified Doc files disabled",
    "Backup of QuickSheet databases enabled",
    "Backup over modem HotSync enabled",
    "Verbose logging enabled",
};

// The databases every handheld of an OS version has in its flash ROM: never backed up.
constexpr std::string_view kStockRomOs3[] = {"System",
                                             "AMX",
                                             "IrDA Library",
                                             "PADHTAL Library",
                                             "Address Book",
                                             "Launcher",
                                             "PPP NetIF",
                                             "Buttons",
                                             "Loopback NetIF",
                                             "Preferences",
                                             "Calculator",
                                             "MS-CHAP Support",
                                             "SLIP NetIF",
                                             "Date Book",
                                             "Mail",
                                             "Security",
                                             "Digitizer",
                                             "Memo Pad",
                                             "ShortCuts",
                                             "Expense",
                                             "Modem",
                                             "Formats",
                                             "Net Library",
                                             "To Do List",
                                             "General",
                                             "Network",
                                             "UIAppShell",
                                             "HotSync",
                                             "Owner",
                                             "NetSync",
                                             "Setup",
                                             "Activate",
                                             "Clipper",
                                             "Cmd-nettrace",
                                             "Cmd-ping",
                                             "INet Library",
                                             "MACUtil",
                                             "RAM NetIF",
                                             "rfdiag",
                                             "Security Library",
                                             "Web Library",
                                             "Wireless",
                                             "WMessaging",
                                             "68328EZ Serial Driver",
                                             "Connection",
                                             "DefConnectionDB",
                                             "DefEZConnectionDB",
                                             "IrComm Serial Driver",
                                             "SerialLib",
                                             "BigHAL",
                                             "DefConnectionDBVSeries",
                                             "Palm OS Data",
                                             "68328AEZ Serial Driver",
                                             "Advanced Calc",
                                             "HAL",
                                             "HsExtUIRsc",
                                             "HsExtensions",
                                             "Backup of RomVault",
                                             "CFBackup",
                                             "Cf Library",
                                             "Ffs Library",
                                             "Audio Library",
                                             "VolumePanel",
                                             "CF16550 Serial Driver"};
constexpr std::string_view kStockRomOs2[] = {
    "AMX",       "HotSync",     "PPP NetIF",  "Address Book",   "Loopback NetIF", "Preferences",
    "Buttons",   "Mail",        "SLIP NetIF", "Calculator",     "Memo Pad",       "Security",
    "Date Book", "Memory",      "ShortCuts",  "Digitizer",      "Modem",          "System",
    "Expense",   "Net Library", "To Do List", "Formats",        "Network",        "UIAppShell",
    "General",   "Owner",       "Giraffe",    "PADHTAL Library"};
static_assert(std::size(kStockRomOs3) == 64 && std::size(kStockRomOs2) == 28);

constexpr uint32_t kTypeOverlay = 0x6F766C79;  // 'ovly'
constexpr uint32_t kCreatorFBck = 0x4642636B;  // 'FBck'
constexpr const char* kUnsavedPreferences = "Unsaved Preferences";
constexpr const char* kGraffitiShortCuts = "Graffiti ShortCuts";
constexpr const char* kNetPrefs = "Net Prefs ";

bool Identical(const DatabaseEntry& a, const DatabaseEntry& b) {
    return a.name == b.name && a.modificationDate == b.modificationDate &&
           a.creationDate == b.creationDate && a.version == b.version && a.creator == b.creator &&
           a.type == b.type;
}

bool IdenticalToAny(const DatabaseEntry& entry, const std::vector<DatabaseEntry>& list) {
    return std::any_of(list.begin(), list.end(),
                       [&](const DatabaseEntry& e) { return Identical(entry, e); });
}

// A creator of lower-case letters and signs only is one of the platform's own.
bool UsersCreator(uint32_t creator) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(creator >> shift);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return true;
    }
    return false;
}

std::string ReadPath(const uint8_t* properties) {
    const auto* field = properties + syncprops::kPathName;
    const auto* end = std::find(field, field + syncprops::kPathNameSize, uint8_t{0});
    return std::string(field, end);
}

class Run {
public:
    Run(ConduitWorld& world, const uint8_t* properties)
        : w_(world),
          calls_(world.sync, world.sleep),
          syncType_(byteorder::GetLE32(properties + syncprops::kSyncType)),
          modem_(byteorder::GetLE32(properties + syncprops::kConnectionType) ==
                 syncprops::kModemConnection),
          folders_(backup::FoldersOf(ReadPath(properties))),
          ram_(world.files, folders_.backup),
          rom_(world.files, folders_.rom),
          orphans_{world.files, world.log, calls_} {}

    int32_t Go() {
        if (syncType_ == syncprops::kSyncTypeDoNothing) {
            Note("Vantaro Extractor: Sync configured to Do Nothing - exiting.");
            return 0;
        }
        if (syncType_ == syncprops::kSyncTypeDesktopOverwrites) {
            Note("Vantaro Extractor: Sync configured to Desktop overwrites Handheld - exiting.");
            return 0;
        }
        std::string prefsError;
        const SMPrefsLoad loaded = LoadSMPrefs(w_.files, folders_.user, prefs_, prefsError);
        // The run's fixed options leave these off, whatever the file says.
        prefs_.removeDuplicates = prefs_.optionC = prefs_.expansionCard = prefs_.excludeAvantGo = 0;

        if (const int32_t result = w_.sync.Register()) return result;
        w_.log.Add(logactivity::kStart, true, "Stashmate: starting");
        Note(FormatText("Version: %s", backuprun::kVersion));
        for (const char* banner : kBanners) Note(banner);
        Note("Backup directory set to: " + folders_.backup);
        if (loaded == SMPrefsLoad::Unreadable)
            Warn(
                FormatText("WARNING: Unable to read settings file %s%s (%s).  Using default "
                           "settings.",
                           folders_.user.c_str(), smprefs::kFileName, prefsError.c_str()));

        SyncUserInfo user;
        if (calls_.Retry([&] { return w_.sync.ReadUserInfo(user); }) != 0) {
            Warn("WARNING: Unable to read user information from the handheld");
            w_.sync.Unregister();
            return 0;
        }
        if (user.nameLength == 0) {
            Note("Stashmate: restore operation detected.  Exiting.");
            RestoreDefaultBackupConduit(w_.writeBackupConduit, w_.log);
            w_.sync.Unregister();
            return 0;
        }

        Clean();
        w_.windows.Open();
        w_.windows.SetTitle("Reading list of handheld files...");
        int32_t result = 0;
        try {
            result = Backup();
        } catch (const std::bad_alloc&) {
            // Memory ran out outside a database's own backup, which reports its own.
            Warn(
                "Stashmate: insufficient memory (RAM) on desktop PC.  \nStashmate: exiting - "
                "handheld files were not completely backed up.");
            result = syncerr::kDesktopOutOfMemory;
        }
        w_.windows.Close();
        w_.log.Add(result == 0 ? logactivity::kEndOk : logactivity::kEndFail, false, "Stashmate");
        w_.sync.Unregister();
        return result;
    }

private:
    void Note(const std::string& text) { w_.log.Add(logactivity::kText, false, text); }
    void Warn(const std::string& text) { w_.log.Add(logactivity::kWarning, false, text); }

    // Steps 9 to 14: the lists, both passes, archiving and scanning.
    int32_t Backup() {
        SyncCardInfo card;
        int32_t result = calls_.RetryWhileEmpty([&] { return w_.sync.ReadCardInfo(card); },
                                                [&] { return card.ramDatabases == 0; });
        if (result != 0) {
            Warn(FormatText("ERROR:  unable to read memory card information (%ld)",
                            static_cast<long>(result)));
            Warn("Stashmate: connection may lost.  Handheld data not backed up.");
            return syncerr::kConnectionLost;
        }
        if ((result = ReadList(true, card.ramDatabases, ramList_)) != 0) return result;
        if ((result = ReadList(false, card.romDatabases, romList_)) != 0) return result;
        osMajor_ = w_.sync.OsMajorVersion();

        if ((result = RamPass()) != 0) return result;
        if ((result = RomPass()) != 0) return result;

        w_.windows.SetTitle("Archiving orphaned files...");
        ArchiveOrphans(orphans_, folders_.backup, ramList_, romList_, folders_.archive);
        ArchiveOrphans(orphans_, folders_.rom, romList_, ramList_, folders_.archive);

        if (prefs_.virusScanning && w_.scanning) {
            ScanRun scan{calls_, w_.log, w_.files, w_.windows, folders_, prefs_, w_.now()};
            w_.scanning->Run(scan);
        }
        return 0;
    }

    int32_t ReadList(bool ram, uint16_t count, std::vector<DatabaseEntry>& list) {
        // A memory the card says is empty has no list to ask for; a Sync Manager may well
        // answer such a request with "not found", which must not cost the whole backup.
        if (count == 0) return 0;
        try {
            list.reserve(count);
        } catch (const std::bad_alloc&) {
            Warn(ram ? "WARNING: Insufficient memory on desktop PC to store list of handheld files."
                     : "WARNING: Insufficient memory on desktop PC to store list of ROM files");
            return syncerr::kDesktopOutOfMemory;
        }
        const int32_t result =
            calls_.RetryWhileEmpty([&] { return w_.sync.ReadDatabaseList(ram, count, list); },
                                   [&] { return list.empty(); });
        if (list.size() > count) list.resize(count);
        if (result == 0) return 0;
        Warn(FormatText("WARNING:  Unable to obtain a list of %s databases on the remote! (%ld)",
                        ram ? "RAM" : "ROM", static_cast<long>(result)));
        Warn("Stashmate: connection may be lost.  Handheld data not backed up.");
        return syncerr::kConnectionLost;
    }

    // Step 7, made safe: only the scratch folder and the pieces of files an earlier run left
    // half-written go. Every backup file stays until a complete new copy replaces it or
    // archiving moves it, so a HotSync that fails leaves the user's previous backup whole.
    void Clean() {
        RemoveTree(folders_.scratch);
        for (const std::string* folder : {&folders_.backup, &folders_.rom}) {
            w_.files.MakeDirectory(*folder);
            std::vector<DesktopEntry> entries;
            w_.files.List(*folder, entries);
            for (const DesktopEntry& entry : entries)
                if (!entry.directory && backup::Skipped(entry.name))
                    DeleteFile(*folder + entry.name);
        }
    }

    void RemoveTree(const std::string& folder) {
        if (!w_.files.IsDirectory(folder)) return;
        std::vector<DesktopEntry> entries;
        w_.files.List(folder, entries);
        for (const DesktopEntry& entry : entries) {
            const std::string path = folder + "\\" + entry.name;
            if (entry.directory) {
                RemoveTree(path);
            } else {
                DeleteFile(path);
            }
        }
        if (const int32_t error = w_.files.RemoveDirectory(folder))
            Warn(FormatText("WARNING: unable to delete directory %s (%ld)", folder.c_str(),
                            static_cast<long>(error)));
    }

    void DeleteFile(const std::string& path) {
        if (const int32_t error = w_.files.MakeWritable(path))
            Warn(FormatText("WARNING: unable to change file attributes for %s (%ld)", path.c_str(),
                            static_cast<long>(error)));
        if (const int32_t error = w_.files.Delete(path))
            Warn(FormatText("WARNING: unable to delete file %s (%ld)", path.c_str(),
                            static_cast<long>(error)));
    }

    bool Cancelled() {
        if (!w_.windows.CancelRequested()) return false;
        Warn("Stashmate: Backup operation cancelled at user's request.  Exiting.");
        return true;
    }

    BackupWrite Writer() {
        return BackupWrite{calls_, w_.log, w_.files, w_.windows, osMajor_, w_.now()};
    }

    // Step 11.9 and 12.5: what a database's backup answered; false when the pass must stop.
    bool Reported(int32_t result, const std::string& name, int state, int32_t& runResult) {
        const char* n = name.c_str();
        if (result == 0) {
            Note(FormatText("\t- Wrote %s (%d)", n, state));
            return true;
        }
        if (result == syncerr::kTransient) {
            Warn(
                FormatText("Stashmate: connection lost while trying to backup %s.  \nStashmate: "
                           "exiting - handheld files were not completely backed up.",
                           n));
            runResult = syncerr::kConnectionLost;
            return false;
        }
        if (result == syncerr::kDesktopOutOfMemory) {
            Warn(
                FormatText("Stashmate: insufficient memory (RAM) on desktop PC while backing up "
                           "%s.  \nStashmate: exiting - handheld files were not completely backed "
                           "up.",
                           n));
            runResult = syncerr::kDesktopOutOfMemory;
            return false;
        }
        if (result & syncerr::kFatal) {
            Warn(
                FormatText("Stashmate encountered a fatal error while trying to backup handheld "
                           "file %s (%ld).  \nStashmate: exiting - handheld files were not "
                           "completely backed up.",
                           n, static_cast<long>(result)));
            runResult = result;
            return false;
        }
        Warn(
            FormatText("WARNING: Stashmate encountered an error while trying to backup handheld "
                       "file %s (%ld).  Handheld file was not backed up.",
                       n, static_cast<long>(result)));
        return true;
    }

    // "Graffiti ShortCuts" and "Net Prefs " stand aside for a newer database of their kind:
    // their backup goes and they are not backed up.
    bool ReplacedByNewer(const DatabaseEntry& entry) {
        auto newer = [&](const char* name, const char* part) {
            return entry.name == name &&
                   std::any_of(ramList_.begin(), ramList_.end(), [&](const DatabaseEntry& e) {
                       return e.name.find(part) != std::string::npos && e.name != name;
                   });
        };
        if (!newer(kGraffitiShortCuts, "Graffiti ShortCuts ") && !newer(kNetPrefs, "Net Prefs"))
            return false;
        w_.files.Delete(ram_.Find(entry.name, true));
        return true;
    }

    int32_t RamPass() {
        w_.windows.SetTitle("Backing up handheld files...");
        w_.windows.StartPass(static_cast<int>(ramList_.size()));
        int32_t result = 0;
        for (const DatabaseEntry& entry : ramList_) {
            if (Cancelled()) return syncerr::kCancelled;
            const bool go = RamDatabase(entry, result);
            w_.windows.StepPass();
            if (!go) return result;
        }
        return 0;
    }

    bool RamDatabase(const DatabaseEntry& entry, int32_t& result) {
        const char* n = entry.name.c_str();
        if (ReplacedByNewer(entry)) return true;
        if (modem_ && (entry.miscFlags & dbentry::kExcludedFromModemSync)) {
            Note(entry.name + " excluded from backup per modem conduit settings.");
            return true;
        }
        const bool resource = entry.IsResourceDatabase();
        if (entry.name == kUnsavedPreferences) {
            const std::string path = ram_.Find(entry.name, resource);
            if (CopyState(w_.files, calls_, path, entry) == 1) {
                Note(FormatText("\t* %s: excluded from backup", n));
            } else {
                Warn(
                    FormatText("WARNING: %s found in the backup directory, though it has been "
                               "excluded - will delete",
                               n));
                if (const int32_t error = w_.files.Delete(path))
                    Warn(FormatText("WARNING: Unable to delete file %s from directory %s (%ld).",
                                    path.substr(folders_.backup.size()).c_str(),
                                    folders_.backup.c_str(), static_cast<long>(error)));
            }
            return true;
        }
        const std::string path = ram_.Take(entry.name, resource);
        const int state = CopyState(w_.files, calls_, path, entry);
        if (state == 0) {
            Note("\t- " + entry.name + " is up to date");
            return true;
        }
        if (!IdenticalToAny(entry, romList_)) {
            const std::string romPath = rom_.Find(entry.name, resource);
            const int romState = CopyState(w_.files, calls_, romPath, entry);
            if (romState == 0) {
                if (const int32_t error = backup::CopyWhole(w_.files, romPath, path)) {
                    Warn(FormatText("WARNING: Unable to move FlashROM from %s to %s (%ld)",
                                    romPath.c_str(), path.c_str(), static_cast<long>(error)));
                } else {
                    w_.files.Delete(romPath);
                    Note(FormatText(
                        "\t* %s: moved to RAM.  FlashROM copy moved to Backup directory", n));
                }
                return true;
            }
            if (romState != 1)
                Note(FormatText("\t* %s: FlashROM directory copy found, but out-of-date (%d)", n,
                                state));
        }
        BackupWrite write = Writer();
        return Reported(WriteBackupFile(write, entry, BackupKind::Ram, path), entry.name, state,
                        result);
    }

    int32_t RomPass() {
        if (const int32_t error = w_.files.MakeDirectory(folders_.rom)) {
            Warn(
                FormatText("WARNING: Unable to create Flash-ROM files directory: %s (%ld).  "
                           "Skipping.",
                           folders_.rom.c_str(), static_cast<long>(error)));
            return 0;
        }
        Note("Stashmate: ROM files saved to " + folders_.rom);
        w_.windows.SetTitle("Backing up files in Flash-ROM...");
        w_.windows.StartPass(static_cast<int>(romList_.size()));
        const auto stock = StockRom();
        int32_t result = 0;
        for (const DatabaseEntry& entry : romList_) {
            if (Cancelled()) return syncerr::kCancelled;
            const bool go = RomDatabase(entry, stock, result);
            w_.windows.StepPass();
            if (!go) return result;
        }
        return 0;
    }

    std::vector<std::string_view> StockRom() {
        if (osMajor_ == 3) return {std::begin(kStockRomOs3), std::end(kStockRomOs3)};
        if (osMajor_ == 2) return {std::begin(kStockRomOs2), std::end(kStockRomOs2)};
        w_.log.Add(logactivity::kWarning, true,
                   "Attempt to backup ROM files from an unrecognized OS version detected.  This "
                   "will result in unusally long HotSync time as the databases are backed up for "
                   "the first time");
        return {};
    }

    bool RomDatabase(const DatabaseEntry& entry, const std::vector<std::string_view>& stock,
                     int32_t& result) {
        const char* n = entry.name.c_str();
        if (std::find(stock.begin(), stock.end(), entry.name) != stock.end() ||
            entry.type == kTypeOverlay || entry.creator == kCreatorFBck ||
            !UsersCreator(entry.creator))
            return true;
        const bool resource = entry.IsResourceDatabase();
        const std::string path = rom_.Take(entry.name, resource);
        const int state = CopyState(w_.files, calls_, path, entry);
        if (state == 0) {
            Note("\t- " + entry.name + " is up to date");
            return true;
        }
        const std::string ramPath = ram_.Find(entry.name, resource);
        const int ramState = CopyState(w_.files, calls_, ramPath, entry);
        const bool inRam = IdenticalToAny(entry, ramList_);
        if (ramState == 0) {
            if (const int32_t error = backup::CopyWhole(w_.files, ramPath, path)) {
                Warn(FormatText("WARNING: Unable to move backup file from %s to %s (%ld)",
                                ramPath.c_str(), path.c_str(), static_cast<long>(error)));
            } else {
                if (!inRam) w_.files.Delete(ramPath);
                Note(FormatText(inRam ? "\t- %s: RAM file copied to FlashROM.  Backup copy copied "
                                        "to FlashROM directory"
                                      : "\t- %s: moved to FlashROM.  Backup copy moved to "
                                        "FlashROM directory",
                                n));
                return true;
            }
        } else if (!inRam && ramState != 1) {
            Note(
                FormatText("\t* %s: Backup directory copy of FlashROM file found, but out-of-date "
                           "(%d)",
                           n, state));
        }
        BackupWrite write = Writer();
        return Reported(WriteBackupFile(write, entry, BackupKind::FlashRom, path), entry.name,
                        state, result);
    }

    ConduitWorld& w_;
    SyncCalls calls_;
    uint32_t syncType_;
    bool modem_;
    backup::Folders folders_;
    BackupFileNames ram_, rom_;
    OrphanPass orphans_;
    CSMPrefs prefs_;
    std::vector<DatabaseEntry> ramList_, romList_;
    uint16_t osMajor_ = 0;
};

}  // namespace

int32_t RunBackup(ConduitWorld& world, const uint8_t* syncProperties) {
    return Run(world, syncProperties).Go();
}
