// The virus scanning with its Windows edges: the test plug-in VScanners.dll loaded for real,
// its update fetched through WinINet from the web server wine_vscanners.sh runs on this
// machine (KESTREL_VSCAN_URL). The server serves list.txt (listing 2.0), page.html (a web
// page), VScanners.dll (the 2.0 plug-in) by their names, also when asked as a proxy.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "conduit/BackupNames.h"
#include "conduit/SMPrefs.h"
#include "conduit/ScannerPlugin.h"
#include "conduit/SyncCalls.h"
#include "conduit/VirusScan.h"
#include "conduit/WebClient.h"
#include "conduit/tests/PassWorld.h"
#include "sim/vscanners/TestPlugin.h"

namespace {

constexpr uint32_t kNow = 2000000000u;

// The 1.0 plug-in lies beside the program, the 2.0 one as VScanners-2.0.dll.
std::string Beside(const std::string& name) {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path = self;
    std::ifstream in(path.substr(0, path.rfind('\\') + 1) + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kServer =
    std::getenv("KESTREL_VSCAN_URL") ? std::getenv("KESTREL_VSCAN_URL") : "";

struct WineScan : PassWorld {
    backup::Folders folders = backup::FoldersOf(BackupFolder());
    std::string plugin = folders.user + "Kit\\" + kScannerPluginFile;
    CSMPrefs prefs;

    explicit WineScan(const std::string& list = kServer + "list.txt",
                      const std::string& download = kServer + "VScanners.dll") {
        prefs.virusScanning = 1;
        prefs.lastUpdate = 10;  // an update is due
        Write("Kit/VScanners.dll", Beside("VScanners.dll"));
        Write(std::string("Kit/") + testplugin::kAddressFile,
              testplugin::kListKey + list + "\r\n" + testplugin::kDownloadKey + download + "\r\n");
    }
    void Scan() {
        sync = std::make_unique<MemorySyncManager>(handheld);
        SyncCalls calls(*sync, [](uint32_t ms) { Sleep(ms); });
        ScanRun run{calls, log, Desktop(), windows, folders, prefs, kNow};
        const auto scanners = MakeScannerPlugin(plugin);
        const auto web = MakeWebClient();
        PluginScanning(*scanners, *web).Run(run);
    }
    void ExpectLogged(const std::string& line) const {
        std::string all;
        for (const std::string& l : log.lines) all += "\n  " + l;
        EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), line), log.lines.end())
            << line << " is not among:" << all;
    }
};

TEST(VirusScanWine, RealPluginFindsTheMarkerRemovesAndQuarantines) {
    ASSERT_FALSE(kServer.empty()) << "run by wine_vscanners.sh, which starts the web server";
    WineScan w;
    w.prefs.lastUpdate = kNow;
    w.prefs.removeInfected = w.prefs.quarantineInfected = 1;
    w.handheld.ram = {MakeDb({.name = "Evil"})};
    // Past the head scanner's reach: only the whole-file scanner sees it.
    const std::string evil =
        "Evil" + std::string(76 + testplugin::kHeadSize, '\0') + testplugin::kMarker;
    w.Write("BACKUP/Evil.PDB", evil);
    w.Write("BACKUP/Memo.PDB", "clean");
    w.Scan();
    w.ExpectLogged("\tUsing Kestrel Marker Scanner, version 1.0:");
    w.ExpectLogged("\tUsing Kestrel Head Scanner, version 1.0:");
    w.ExpectLogged("\t- Memo.PDB OK");
    w.ExpectLogged("! Removed Evil from Palm organizer");
    w.ExpectLogged("Moved Evil.PDB to " + w.folders.quarantine + "Evil.PDB");
    EXPECT_EQ(w.Bytes("SMQuarantine/Evil.PDB"), evil);
    EXPECT_EQ(GetModuleHandleA(w.plugin.c_str()), nullptr) << "unloaded at the end";
}

TEST(VirusScanWine, NewerPluginDownloadedDirectlyOrThroughAProxy) {
    for (bool proxy : {false, true}) {
        SCOPED_TRACE(proxy ? "through the proxy" : "directly");
        // As a proxy, the server serves lists whose own host exists nowhere.
        const std::string site = proxy ? "http://vscanners.invalid/" : kServer;
        WineScan w(site + "list.txt", site + "VScanners.dll");
        if (proxy) {
            const size_t host = kServer.find("//") + 2, port = kServer.rfind(':');
            w.prefs.useProxy = 1;
            w.prefs.proxyHost = kServer.substr(host, port - host);
            w.prefs.proxyPort = kServer.substr(port + 1, kServer.size() - port - 2);
        }
        w.Scan();
        w.ExpectLogged("Successfully updated virus scanners");
        w.ExpectLogged("\tUsing Kestrel Marker Scanner, version 2.0:");
        EXPECT_EQ(w.Bytes("Kit/VScanners.dll"), Beside("VScanners-2.0.dll"));
        EXPECT_FALSE(w.Exists("Kit/VScanners.dll.download"));
        CSMPrefs saved;
        std::string error;
        ASSERT_EQ(LoadSMPrefs(w.Desktop(), w.folders.user, saved, error), SMPrefsLoad::Loaded);
        EXPECT_EQ(saved.lastUpdate, kNow);
    }
}

TEST(VirusScanWine, WebPageOrMissingListIsAFailedUpdate) {
    for (const char* list : {"page.html", "missing.txt"}) {
        SCOPED_TRACE(list);
        WineScan w(kServer + list);
        w.Scan();
        w.ExpectLogged("! WARNING: unable to update virus scanners");
        w.ExpectLogged("\tUsing Kestrel Marker Scanner, version 1.0:");
        EXPECT_EQ(w.Bytes("Kit/VScanners.dll"), Beside("VScanners.dll"));
        EXPECT_FALSE(w.Exists("SM2.prf"));
    }
}

}  // namespace
