// The HotSync page's road through the HotSync world, under Wine with the HotSync Manager
// stand-in, the real kvrnotify.dll and Palm Desktop's libraries stood in for: the notifier and
// backup conduit registered, HotSync Manager started, a backup HotSync that installs the
// serial loader and removes the notifier and the loader's backups, the update's erase, and the
// restoring HotSync that brings every database back. Then the program's end after a cancel at
// each point of that road, with HotSync Manager running at the start or not: its key must be
// as it was, value for value, and HotSync Manager running exactly when it was before.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hotsync/HotSyncManager.h"
#include "sim/Bootlet.h"
#include "sim/HandheldStore.h"
#include "sim/hotsync/ScratchWorld.h"
#include "sim/hotsync/tests/HotSyncTestData.h"
#include "testing/RecordingBoxes.h"

namespace {

constexpr UINT kHotSyncNow = WM_APP + 0x48;  // the stand-in's "perform a HotSync now"
constexpr DWORD kWindowWaitMs = 15000;
constexpr DWORD kHotSyncWaitMs = 60000;
constexpr const char* kUser = "Ann Smith";

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20))
        if (condition()) return true;
    return condition();
}

HWND MainWindow() { return FindWindowA(nullptr, hotsync::kMainTitle); }

// Ends every HotSync Manager stand-in still showing its window: asked as the wizard asks, and
// ended by force when it does not go.
void EndHotSyncManagers() {
    while (HWND window = MainWindow()) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
        SendMessageA(window, hotsync::kExitMessage, hotsync::kExitWParam, hotsync::kExitLParam);
        if (process) {
            if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        if (MainWindow() == window) break;
    }
}

std::vector<uint8_t> Text(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

// One desktop as the wizard finds it: Palm Desktop with the HotSync Manager stand-in in its
// folder, the user's own HotSync set-up in the key, the kit's files beside the wizard, and a
// handheld of `databases` databases in the cradle.
class Desk {
public:
    explicit Desk(int databases) : world(kUser), store(world.Handheld()) {
        palm = world.Root() + "\\Palm";
        kit = world.Root() + "\\Kit";
        CreateDirectoryA(palm.c_str(), nullptr);
        CreateDirectoryA(kit.c_str(), nullptr);
        for (const char* file : {"HotSync.exe", "hsapi.dll", "instaide.dll", "userdata.dll",
                                 "sync20.dll", "hslog20.dll", "condmgr.dll", "pdcmn21.dll"})
            Copy(file, palm);
        Copy("kvrnotify.dll", kit);
        Copy("stashmate.dll", kit);
        std::string error;
        if (!WriteBootletPrc(kit + "\\sys\\Bootlet.prc", error)) ADD_FAILURE() << error;
        world.SetHotSyncPath(HotSyncExe());

        // What the user had: a notifier of another program, the default backup conduit of
        // a type HotSync Manager also reads, a port, and something of HotSync Manager's own.
        world.SetHotSyncText("Notifier0", palm + "\\other.dll");
        world.SetHotSyncValue("BackupConduit", REG_EXPAND_SZ, Text("bakcn20.dll"));
        world.SetHotSyncText("DirectComPort", "com2");
        world.SetHotSyncValue("Window", REG_BINARY, {1, 2, 3, 4, 5});

        if (!store.WriteUser(kUser, error)) ADD_FAILURE() << error;
        for (int i = 0; i < databases; ++i) {
            std::string name = "Database ";
            name += std::to_string(i);
            Put(StoreFolder::Ram, TestDatabase(name, i % 6, i % 4 == 0, static_cast<uint8_t>(i)));
        }
        Put(StoreFolder::RomAdded, TestDatabase("Added to flash", 3, true, 200));
        // Copies of the loader that an earlier backup left: a later restore must not find them.
        CreateDirectoryA(world.UserFolder().c_str(), nullptr);
        CreateDirectoryA(Backup().c_str(), nullptr);
        CreateDirectoryA((Backup() + "\\temp007").c_str(), nullptr);
        for (const char* copy : {"\\Bootlet.prc", "\\temp007\\Bootlet.prc"})
            if (!WriteBootletPrc(Backup() + copy, error)) ADD_FAILURE() << error;
    }

    std::string HotSyncExe() const { return palm + "\\HotSync.exe"; }
    std::string Backup() const { return world.UserFolder() + "\\BACKUP"; }

    void Put(StoreFolder folder, const PalmDatabase& db) {
        std::string error;
        if (!store.Write(folder, db, error)) ADD_FAILURE() << error;
    }

    // HotSync Manager running before the wizard starts, started as the user would.
    void StartHotSyncManagerFirst() {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string command = HotSyncExe();
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   palm.c_str(), &startup, &info))
            << "error " << GetLastError();
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        ASSERT_TRUE(WaitFor([] { return MainWindow() != nullptr; }, kWindowWaitMs));
    }

    ScratchWorld world;
    HandheldStore store;
    std::string palm, kit;

private:
    static void Copy(const char* file, const std::string& to) {
        const std::string from = ProgramFolder() + "\\" + file;
        if (!CopyFileA(from.c_str(), (to + "\\" + file).c_str(), FALSE))
            ADD_FAILURE() << "copying " << from << ": error " << GetLastError();
    }
};

// What the user does while the wizard waits on a HotSync page: press the HotSync button once
// HotSync Manager is up, and the wizard sees the HotSync start and end.
void PerformHotSync(THotSyncManager& manager) {
    ASSERT_TRUE(WaitFor([] { return MainWindow() != nullptr; }, kWindowWaitMs));
    PostMessageA(MainWindow(), kHotSyncNow, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return manager.IsSyncInProgress(); }, kWindowWaitMs))
        << "the wizard never saw the HotSync start";
    manager.ShowSyncProgress();
    ASSERT_TRUE(WaitFor([&] { return !manager.IsSyncInProgress(); }, kHotSyncWaitMs))
        << "the HotSync never ended";
}

// The road of a normal-mode run, one step per point where the user may cancel after it.
struct Step {
    const char* what;
    std::function<void(THotSyncManager&, Desk&)> run;
};
const Step kRoad[] = {
    {"welcome page", [](THotSyncManager& m, Desk&) { m.CloseHotSync(); }},
    {"notifier registered",
     [](THotSyncManager& m, Desk& d) { m.RegisterNotifier(d.kit + "\\kvrnotify.dll"); }},
    {"backup conduit set",
     [](THotSyncManager& m, Desk& d) { m.SetBackupConduit(d.kit + "\\stashmate.dll"); }},
    {"HotSync Manager started", [](THotSyncManager& m, Desk&) { m.StartHotSync(); }},
    {"backup HotSync done", [](THotSyncManager& m, Desk&) { PerformHotSync(m); }},
    {"closed before the serial connection",
     [](THotSyncManager& m, Desk&) {
         if (m.IsHotSyncRunning()) m.CloseHotSync();
     }},
    {"handheld updated",  // the update's erase: no RAM databases, no user
     [](THotSyncManager&, Desk& d) {
         std::string error;
         EXPECT_TRUE(d.store.Clear(StoreFolder::Ram, error)) << error;
         EXPECT_TRUE(d.store.WriteUser("", error)) << error;
     }},
    {"final HotSync page",
     [](THotSyncManager& m, Desk&) {
         m.UnregisterNotifiers();
         m.StartHotSync();
     }},
    {"restoring HotSync done", [](THotSyncManager& m, Desk&) { PerformHotSync(m); }},
};
constexpr size_t kSteps = sizeof kRoad / sizeof kRoad[0];

class HotSyncPage : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { EndHotSyncManagers(); }
};

TEST_P(HotSyncPage, TheWholeRoadStagesTheLoaderAndBringsEveryDatabaseBack) {
    const bool runningAtStart = GetParam();
    Desk desk(36);
    const auto keyBefore = desk.world.HotSyncValues();
    const auto ramBefore = FilesOf(desk.store.FolderPath(StoreFolder::Ram));
    const auto addedBefore = FilesOf(desk.store.FolderPath(StoreFolder::RomAdded));
    if (runningAtStart) desk.StartHotSyncManagerFirst();
    {
        BoxRecord shown;
        THotSyncManager manager(MakeRegistryEdge(), MakeDesktopEdge(),
                                std::make_unique<RecordingBoxes>(shown));
        ASSERT_TRUE(manager.HotSyncExists());
        EXPECT_EQ(manager.GetComPort(), "COM2");
        for (size_t i = 0; i < kSteps; ++i) {
            SCOPED_TRACE(kRoad[i].what);
            kRoad[i].run(manager, desk);
            if (std::string(kRoad[i].what) != "backup HotSync done") continue;

            // The loader went onto the handheld, and nothing of it is left to come back.
            PalmDatabase loader;
            std::string error;
            ASSERT_EQ(desk.store.Read(StoreFolder::Ram, kBootletName, loader, error),
                      StoreStatus::Ok)
                << error;
            EXPECT_TRUE(IsBootlet(loader));
            EXPECT_TRUE(FilesOf(desk.store.FolderPath(StoreFolder::Install)).empty());
            EXPECT_FALSE(ScratchWorld::Exists(desk.Backup() + "\\Bootlet.prc"));
            EXPECT_FALSE(ScratchWorld::Exists(desk.Backup() + "\\temp007\\Bootlet.prc"));
            for (const RegistryValue& value : desk.world.HotSyncValues())
                if (value.name.rfind("Notifier", 0) == 0) {
                    EXPECT_EQ(value.data, Text(desk.palm + "\\other.dll")) << value.name;
                }
            EXPECT_EQ(FilesOf(desk.Backup()).size(), ramBefore.size())
                << "every RAM database, and no scratch folder left";
        }
        EXPECT_TRUE(shown.shown.empty());
    }
    // Every database is back byte for byte (the 36 of RAM and the one added to the flash
    // ROM), and the handheld has its user again.
    EXPECT_EQ(FilesOf(desk.store.FolderPath(StoreFolder::Ram)), ramBefore);
    EXPECT_EQ(FilesOf(desk.store.FolderPath(StoreFolder::RomAdded)), addedBefore);
    std::string user, error;
    ASSERT_TRUE(desk.store.ReadUser(user, error)) << error;
    EXPECT_EQ(user, kUser);
    const auto log = ScratchWorld::ReadFile(desk.world.UserFolder() + "\\HotSync.log");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("Restored 37 databases for Ann Smith"), std::string::npos) << *log;

    EXPECT_EQ(desk.world.HotSyncValues(), keyBefore);
    EXPECT_EQ(WaitFor([] { return MainWindow() != nullptr; }, runningAtStart ? kWindowWaitMs : 500),
              runningAtStart);
}

TEST_P(HotSyncPage, ACancelAnywhereLeavesHotSyncManagerAsFound) {
    const bool runningAtStart = GetParam();
    // Cancelling before any step, and after each but the last.
    for (size_t cancelAfter = 0; cancelAfter < kSteps; ++cancelAfter) {
        SCOPED_TRACE("cancelled after " + std::to_string(cancelAfter) + " steps" +
                     (cancelAfter ? std::string(", the last: ") + kRoad[cancelAfter - 1].what
                                  : std::string()));
        {
            Desk desk(3);
            const auto keyBefore = desk.world.HotSyncValues();
            if (runningAtStart) desk.StartHotSyncManagerFirst();
            {
                THotSyncManager manager(MakeRegistryEdge(), MakeDesktopEdge(),
                                        std::make_unique<RecordingBoxes>());
                for (size_t i = 0; i < cancelAfter; ++i) kRoad[i].run(manager, desk);
            }
            EXPECT_EQ(desk.world.HotSyncValues(), keyBefore);
            if (runningAtStart)
                EXPECT_TRUE(WaitFor([] { return MainWindow() != nullptr; }, kWindowWaitMs));
            else
                EXPECT_FALSE(WaitFor([] { return MainWindow() != nullptr; }, 500));
            EndHotSyncManagers();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HotSyncManagerAtStart, HotSyncPage, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Running" : "NotRunning"; });

// A problem report left open, in French, holds the welcome page's close until the user has
// closed it; then HotSync Manager is asked to exit.
TEST(HotSyncPageDialogs, CloseWaitsForTheFrenchProblemReport) {
    Desk desk(1);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string command = desk.HotSyncExe() + " --problem fr:2";
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               desk.palm.c_str(), &startup, &info));
    CloseHandle(info.hThread);
    ASSERT_TRUE(WaitFor([] { return MainWindow() != nullptr; }, kWindowWaitMs));
    ASSERT_TRUE(WaitFor([] { return FindWindowA(nullptr, hotsync::kProblemTitles[1]) != nullptr; },
                        kWindowWaitMs));
    {
        THotSyncManager manager(MakeRegistryEdge(), MakeDesktopEdge(),
                                std::make_unique<RecordingBoxes>());
        const DWORD start = GetTickCount();
        manager.CloseHotSync();
        EXPECT_GE(GetTickCount() - start, 900u) << "it did not wait for the report";
        EXPECT_EQ(FindWindowA(nullptr, hotsync::kProblemTitles[1]), nullptr);
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 5000), WAIT_OBJECT_0) << "asked to exit";
        EXPECT_EQ(manager.ClosedCount(), 1);
    }
    // It was running at the start: the end of the program starts it again.
    EXPECT_TRUE(WaitFor([] { return MainWindow() != nullptr; }, kWindowWaitMs));
    CloseHandle(info.hProcess);
    EndHotSyncManagers();
}

// A file in the handheld's RAM store that holds no database is named in HotSync Manager's log,
// and the HotSync goes on with the others.
TEST(HotSyncPageDialogs, ADamagedDatabaseIsLoggedAndTheOthersBackedUp) {
    Desk desk(2);
    ScratchWorld::WriteFile(desk.world.Handheld() + "\\ram\\Broken.pdb", "no database");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string command = desk.HotSyncExe() + " --hotsync";
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               desk.palm.c_str(), &startup, &info));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    const std::string logPath = desk.world.UserFolder() + "\\HotSync.log";
    EXPECT_TRUE(WaitFor(
        [&] {
            const auto log = ScratchWorld::ReadFile(logPath);
            return log && log->find("HotSync completed") != std::string::npos;
        },
        kHotSyncWaitMs));
    const std::string log = ScratchWorld::ReadFile(logPath).value_or("");
    EXPECT_NE(log.find("Error: cannot back up Broken.pdb: "), std::string::npos) << log;
    EXPECT_NE(log.find("HotSync completed with errors"), std::string::npos) << log;
    EXPECT_TRUE(ScratchWorld::Exists(desk.Backup() + "\\Database_0.PRC")) << log;
    EXPECT_TRUE(ScratchWorld::Exists(desk.Backup() + "\\Database_1.PDB")) << log;
    EndHotSyncManagers();
}

}  // namespace
