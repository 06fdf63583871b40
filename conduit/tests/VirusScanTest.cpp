// The virus scanning at the end of a backup run, one scenario a row: the plug-in and the web
// faked, the desktop's real files in a scratch folder, the handheld in memory.
#include "conduit/VirusScan.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/PeImage.h"
#include "conduit/BackupNames.h"
#include "conduit/SMPrefs.h"
#include "conduit/ScannerPlugin.h"
#include "conduit/SyncCalls.h"
#include "conduit/WebClient.h"
#include "conduit/tests/PassWorld.h"

namespace {

constexpr uint32_t kNow = 2000000000u;
constexpr const char* kList = "http://updates.example/list.txt";
constexpr const char* kDownload = "http://updates.example/VScanners.dll";

// A PE32 file exporting `entry` for `machine`, then the version the fake plug-in loads.
std::string PluginFile(const std::string& version, uint16_t machine = pe::kMachineI386,
                       const std::string& entry = "GetScanners") {
    std::string b(0x300, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
    };
    b.replace(0, 2, "MZ");
    put32(0x3C, 0x40);
    b.replace(0x40, 2, "PE");
    put32(0x44, machine | 1u << 16);  // one section
    put32(0x54, 0xE0);                // the optional header's size
    put32(0x58, 0x10B);
    put32(0x58 + 92, 16);  // directories; the first, exports, at the section's start
    put32(0x58 + 96, 0x1000);
    put32(0x58 + 100, 0x100);
    const uint32_t section[] = {0x100, 0x1000, 0x100, 0x200};  // sizes, address, file offset
    for (size_t i = 0; i < 4; ++i) put32(0x138 + 8 + 4 * i, section[i]);
    // The export directory from its name field on, one function and its name at 0x1060.
    const uint32_t exports[] = {0x1040, 1, 1, 1, 0x1028, 0x102C, 0x1030, 0x1100, 0x1060};
    for (size_t i = 0; i < std::size(exports); ++i) put32(0x20C + 4 * i, exports[i]);
    b.replace(0x260, entry.size(), entry);
    return b + "version=" + version;
}

// Scanners "Marker" and "Quick": "VIRUS" in a file is a find, "UNSCANNABLE" makes the scan
// fail. A plug-in file of version "unloadable" does not load.
class FakePlugin : public ScannerPlugin {
public:
    FakePlugin(DesktopFiles& files, std::string path) : files_(files), path_(std::move(path)) {}
    int loads = 0, loaded = 0;

    const std::string& Path() const override { return path_; }
    uint16_t Machine() const override { return pe::kMachineI386; }
    std::unique_ptr<LoadedScanners> Load() override {
        std::vector<uint8_t> bytes;
        files_.ReadAll(path_, bytes);
        const std::string text(bytes.begin(), bytes.end());
        const std::string version = text.substr(text.rfind("version=") + 8);
        if (version == "unloadable") return nullptr;
        ++loads;
        return std::make_unique<Loaded>(*this, version);
    }

private:
    struct Loaded : LoadedScanners {
        Loaded(FakePlugin& p, std::string v) : p_(p), version_(std::move(v)) { ++p_.loaded; }
        ~Loaded() override { --p_.loaded; }
        const std::string& Version() const override { return version_; }
        const std::string& UpdateListUrl() const override { return list_; }
        const std::string& DownloadUrl() const override { return download_; }
        size_t Count() const override { return 2; }
        std::string Name(size_t s) override { return s == 0 ? "Marker" : "Quick"; }
        std::string ScannerVersion(size_t) override { return version_; }
        bool Scan(size_t, const std::string& path, bool& infected) override {
            std::vector<uint8_t> bytes;
            p_.files_.ReadAll(path, bytes);
            const std::string text(bytes.begin(), bytes.end());
            infected = text.find("VIRUS") != std::string::npos;
            return text.find("UNSCANNABLE") == std::string::npos;
        }
        FakePlugin& p_;
        std::string version_, list_ = kList, download_ = kDownload;
    };
    DesktopFiles& files_;
    std::string path_;
};

class FakeWeb : public WebClient {
public:
    std::map<std::string, std::string> pages;  // what each address serves
    std::vector<std::string> fetched, proxies;
    int delayMs = 0;
    bool Fetch(const std::string& url, const std::string& proxy,
               std::vector<uint8_t>& body) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        fetched.push_back(url);
        proxies.push_back(proxy);
        const auto page = pages.find(url);
        if (page != pages.end()) body.assign(page->second.begin(), page->second.end());
        return page != pages.end();
    }
};

struct CountingSync : MemorySyncManager {
    using MemorySyncManager::MemorySyncManager;
    int keepAlives = 0;
    void KeepAlive() override { ++keepAlives; }
};

// A backup file of the database `name`: a header, then `content`.
std::string BackupOf(const std::string& name, const std::string& content) {
    return name + std::string(80 - name.size(), '\0') + content;
}

struct ScanWorld : PassWorld {
    backup::Folders folders = backup::FoldersOf(BackupFolder());
    FakePlugin plugin{Desktop(), folders.user + "Kit\\VScanners.dll"};
    FakeWeb web;
    CountingSync counting{handheld};
    CSMPrefs prefs;

    ScanWorld() {
        prefs.virusScanning = 1;
        prefs.lastUpdate = kNow - 100;  // updated a moment ago
        Write("Kit/VScanners.dll", PluginFile("1.0"));
    }
    void Scan() {
        SyncCalls calls(counting, [](uint32_t) {});
        ScanRun run{calls, log, Desktop(), windows, folders, prefs, kNow};
        PluginScanning(plugin, web).Run(run);
    }
    void UpdateDue(const std::string& list, const std::string& download = "") {
        prefs.lastUpdate = 10;
        web.pages[kList] = list;
        if (!download.empty()) web.pages[kDownload] = download;
    }
    bool Logged(const std::string& line) const {
        return std::find(log.lines.begin(), log.lines.end(), line) != log.lines.end();
    }
};

// A failed update leaves the plug-in file, no download beside it and the time as they were,
// and the scanning goes on with the old plug-in.
void UpdateFailed(ScanWorld& w) {
    EXPECT_EQ(w.Bytes("Kit/VScanners.dll"), PluginFile("1.0"));
    EXPECT_FALSE(w.Exists("Kit/VScanners.dll.download"));
    EXPECT_EQ(w.prefs.lastUpdate, 10u);
    EXPECT_FALSE(w.Exists("SM2.prf"));
    EXPECT_TRUE(w.Logged("\tUsing Marker, version 1.0:"));
}

struct Scenario {
    const char* name;
    std::function<void(ScanWorld&)> before;
    // In this order among the others. <B>, <R>, <Q> stand for the backup, ROM and quarantine
    // folders; a line ending in "*" matches every line it begins (system codes differ).
    std::vector<std::string> log;
    std::function<void(ScanWorld&)> after;
};

const Scenario kScenarios[] = {
    {"CleanFilesOfBothFolders",
     [](ScanWorld& w) {
         w.Write("BACKUP/Memo.PDB", "clean");
         w.Write("BACKUP/Sub/Inner.PDB", "VIRUS");  // folders and files being written: passed
         w.Write("BACKUP/Half.PDB.~sm", "VIRUS");
         w.Write("ROM_Files/App.PRC", "clean");
     },
     {"Scanning for viruses in <B>", "\tUsing Marker, version 1.0:", "\t- Memo.PDB OK",
      "\tUsing Quick, version 1.0:", "\t- Memo.PDB OK", "Scanning for viruses in <R>",
      "\tUsing Marker, version 1.0:", "\t- App.PRC OK",
      "\tUsing Quick, version 1.0:", "\t- App.PRC OK"},
     [](ScanWorld& w) {
         EXPECT_EQ(w.log.lines.size(), 10u);
         EXPECT_EQ(w.windows.passSteps, 4) << "one step a scanner";
         EXPECT_EQ(w.plugin.loaded, 0) << "unloaded at the end";
         EXPECT_TRUE(w.web.fetched.empty()) << "no update due";
     }},
    {"InfectedRemovedOnceAndQuarantined",
     [](ScanWorld& w) {
         w.prefs.removeInfected = w.prefs.quarantineInfected = 1;
         w.handheld.ram = {MakeDb({.name = "Evil"})};
         w.Write("BACKUP/Evil.PDB", BackupOf("Evil", "VIRUS"));
         w.Write("BACKUP/Short.PDB", "Evil VIRUS");  // too short to name a database
     },
     {"! WARNING: potential virus found - Evil.PDB", "! Removed Evil from Palm organizer",
      "Moved Evil.PDB to <Q>Evil.PDB"},
     [](ScanWorld& w) {
         EXPECT_EQ(w.counting.deleted, std::vector<std::string>{"Evil"});
         EXPECT_EQ(w.Bytes("SMQuarantine/Evil.PDB"), BackupOf("Evil", "VIRUS"));
         EXPECT_FALSE(w.Exists("BACKUP/Evil.PDB"));
         EXPECT_FALSE(w.Exists("BACKUP/Short.PDB"));
         // The second scanner finds nothing left to scan, nor to remove.
         for (const std::string& line : w.log.lines)
             EXPECT_EQ(line.find("Unable"), std::string::npos) << line;
     }},
    {"RomFolderNeverRemoves",
     [](ScanWorld& w) {
         w.prefs.removeInfected = 1;
         w.handheld.ram = {MakeDb({.name = "RomEvil"})};
         w.Write("ROM_Files/RomEvil.PDB", BackupOf("RomEvil", "VIRUS"));
         w.Write("BACKUP/Gone.PDB", BackupOf("Gone", "VIRUS"));
     },
     {"! Unable to remove Gone from Palm organizer",
      "! WARNING: potential virus found - RomEvil.PDB"},
     [](ScanWorld& w) { EXPECT_TRUE(w.counting.deleted.empty()); }},
    {"ScanFailsAndMoveFails",
     [](ScanWorld& w) {
         w.prefs.quarantineInfected = 1;
         w.Write("BACKUP/Odd.PDB", "UNSCANNABLE");
         w.Write("BACKUP/Evil.PDB", "VIRUS");
         std::filesystem::create_directories(w.Path("SMQuarantine/Evil.PDB"));
     },
     {"! Unable to scan <B>Odd.PDB", "! ERROR: Unable to move file <B>Evil.PDB to <Q>Evil.PDB (*",
      "! Unable to move file Evil.PDB to <Q>Evil.PDB"},
     [](ScanWorld& w) { EXPECT_TRUE(w.Exists("BACKUP/Evil.PDB")); }},
    {"NoQuarantineFolderNoScan",
     [](ScanWorld& w) { w.Write("SMQuarantine", "in the way"); },
     {"! WARNING: unable to create quaranitine directory <Q> (*"},
     [](ScanWorld& w) { EXPECT_EQ(w.log.lines.size(), 1u); }},
    {"PluginMissing",
     [](ScanWorld& w) { std::filesystem::remove(w.Path("Kit/VScanners.dll")); },
     {"! WARNING: unable to load virus scanners"},
     [](ScanWorld& w) { EXPECT_EQ(w.log.lines.size(), 1u); }},
    {"PluginRefusedFromItsBytes",
     [](ScanWorld& w) {
         w.Write("Kit/VScanners.dll", PluginFile("1.0", pe::kMachineI386, "GetScanner"));
     },
     {"! WARNING: unable to load virus scanners"},
     [](ScanWorld& w) {
         w.Write("Kit/VScanners.dll", PluginFile("1.0", pe::kMachineAmd64));
         w.Scan();
         EXPECT_EQ(w.log.lines.size(), 2u);
         EXPECT_EQ(w.plugin.loads, 0) << "its code must never run";
     }},
    {"UpdateEqualVersionRenewsTheTime",
     [](ScanWorld& w) { w.UpdateDue("other.dll 7.0\nVScanners.dll 1.0 2024\n"); },
     {"Successfully updated virus scanners", "\tUsing Marker, version 1.0:"},
     [](ScanWorld& w) {
         EXPECT_EQ(w.web.fetched, std::vector<std::string>{kList});
         EXPECT_EQ(w.windows.titles.front(), "Updating virus scanners...");
         CSMPrefs saved;
         std::string error;
         ASSERT_EQ(LoadSMPrefs(w.Desktop(), w.folders.user, saved, error), SMPrefsLoad::Loaded);
         EXPECT_EQ(saved.lastUpdate, kNow);
     }},
    {"UpdateNewerVersionThroughTheProxy",
     [](ScanWorld& w) {
         w.UpdateDue("  \r\n\tVScanners.DLL   2.0   2024 \r\n", PluginFile("2.0"));
         w.prefs.useProxy = 1;
         w.prefs.proxyHost = "proxy.example";
         w.prefs.proxyPort = "8080";
     },
     {"Successfully updated virus scanners", "\tUsing Marker, version 2.0:"},
     [](ScanWorld& w) {
         EXPECT_EQ(w.Bytes("Kit/VScanners.dll"), PluginFile("2.0"));
         EXPECT_FALSE(w.Exists("Kit/VScanners.dll.download"));
         EXPECT_EQ(w.web.proxies.front(), "http=http://proxy.example:8080");
         EXPECT_EQ(w.prefs.lastUpdate, kNow);
         EXPECT_EQ(w.plugin.loaded, 0);
     }},
    {"UpdateListIsAWebPage",
     [](ScanWorld& w) { w.UpdateDue("<HTML>\n<p>VScanners.dll 2.0</p>\n", PluginFile("2.0")); },
     {"! WARNING: unable to update virus scanners"},
     UpdateFailed},
    {"UpdateDownloadIsNoLibrary",
     [](ScanWorld& w) { w.UpdateDue("VScanners.dll 2.0\n", "<html>moved</html>"); },
     {"! WARNING: unable to update virus scanners"},
     UpdateFailed},
    {"UpdateDownloadWillNotLoad",
     [](ScanWorld& w) { w.UpdateDue("VScanners.dll 2.0\n", PluginFile("unloadable")); },
     {"! WARNING: unable to update virus scanners"},
     UpdateFailed},
    {"UpdateNotDueOrOff",
     [](ScanWorld& w) {
         w.UpdateDue("VScanners.dll 2.0\n");
         w.prefs.lastUpdate = kNow - w.prefs.updateInterval;
     },
     {},
     [](ScanWorld& w) {
         w.prefs.lastUpdate = 10;
         w.prefs.autoUpdate = 0;
         w.Scan();
         EXPECT_TRUE(w.web.fetched.empty());
     }},
    {"UpdateKeepsTheConnectionAlive",
     [](ScanWorld& w) {
         w.UpdateDue("VScanners.dll 1.0\n");
         w.web.delayMs = 450;
     },
     {"Successfully updated virus scanners"},
     [](ScanWorld& w) { EXPECT_GE(w.counting.keepAlives, 3); }},
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class VirusScan : public ::testing::TestWithParam<Scenario> {};

TEST_P(VirusScan, Scenario) {
    const Scenario& s = GetParam();
    ScanWorld w;
    s.before(w);
    w.Scan();
    auto at = w.log.lines.begin();
    for (std::string line : s.log) {
        for (const auto& [mark, folder] :
             {std::pair{"<B>", &w.folders.backup}, std::pair{"<R>", &w.folders.rom},
              std::pair{"<Q>", &w.folders.quarantine}})
            if (const size_t pos = line.find(mark); pos != std::string::npos)
                line.replace(pos, 3, *folder);
        const bool prefix = line.ends_with('*');
        if (prefix) line.pop_back();
        at = std::find_if(at, w.log.lines.end(), [&](const std::string& got) {
            return prefix ? got.starts_with(line) : got == line;
        });
        EXPECT_NE(at, w.log.lines.end()) << "missing (or out of order): " << line;
        if (at == w.log.lines.end()) break;
        ++at;
    }
    s.after(w);
    if (HasFailure())
        for (const std::string& line : w.log.lines) ADD_FAILURE() << "logged: " << line;
}

INSTANTIATE_TEST_SUITE_P(Conduit, VirusScan, ::testing::ValuesIn(kScenarios),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(VirusScanUpdateList, SaysWhatItListsOrThatItIsAPage) {
    const struct {
        const char* text;
        bool page, listed;
        const char* version;
    } rows[] = {
        {"other.dll 1.0\n", false, false, ""},
        {"\r\n  vscanners.DLL\t3.1  x \r\nVScanners.dll 4.0\n", false, true, "3.1"},
        {"VScanners.dll\n", false, true, ""},
        {"<htmlish>\nVScanners.dll 2.0", false, true, "2.0"},
        {"VScanners.dll 2.0\n<html>\n", true, false, ""},
        {"  <Html lang=\"en\">\n", true, false, ""},
        {"<!DOCTYPE html>\n", true, false, ""},
    };
    for (const auto& row : rows) {
        const auto listed = virusscan::ReadUpdateList(row.text);
        EXPECT_EQ(listed.page, row.page) << row.text;
        if (row.page) continue;
        EXPECT_EQ(listed.listed, row.listed) << row.text;
        EXPECT_EQ(listed.version, row.version) << row.text;
    }
}

}  // namespace
