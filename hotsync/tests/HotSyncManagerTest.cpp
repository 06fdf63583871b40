// THotSyncManager over a registry and a desktop held in memory: what it finds, what it
// registers, how it handles HotSync Manager, and that the end of a run, cancelled anywhere,
// leaves HotSync Manager's key and HotSync Manager itself as they were found.
#include "hotsync/HotSyncManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/MemoryRegistry.h"
#include "hotsync/tests/FakeDesktop.h"
#include "testing/RecordingBoxes.h"

namespace {

const std::string kRoot1 = "Software\\U.S. Robotics\\Pilot Desktop";
const std::string kRoot2 = "Software\\US Robotics\\Pilot Desktop";
const std::string kRoot3 = "Software\\Palm Computing\\Pilot Desktop";
const std::string kHotSyncExe = "C:\\Palm\\HotSync.exe";
const std::string kNotifier = "C:\\Kit\\kvrnotify.dll";
const std::string kConduit = "C:\\Kit\\stashmate.dll";

// Palm Desktop as installed under the third vendor root, HotSync Manager not running.
class HotSyncManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        world->files = {kHotSyncExe, kNotifier, kConduit};
        registry.SetText(kRoot3 + "\\Core", "HotSyncPath", kHotSyncExe);
        registry.SetText(kRoot3 + "\\HotSync Manager", "DirectComPort", "com3");
        registry.SetText(kRoot3 + "\\HotSync Manager", "BackupConduit", "bakcn20.dll");
    }
    std::unique_ptr<THotSyncManager> Make() {
        return std::make_unique<THotSyncManager>(registry.Edge(),
                                                 std::make_unique<FakeDesktop>(world),
                                                 std::make_unique<RecordingBoxes>(boxes));
    }
    std::string Key() const { return registry.Dump(kRoot3 + "\\HotSync Manager"); }

    MemoryRegistry registry;
    std::shared_ptr<DesktopWorld> world = std::make_shared<DesktopWorld>();
    BoxRecord boxes;
};

TEST_F(HotSyncManagerTest, DiscoveryAcrossTheVendorRoots) {
    struct Row {
        const char* what;
        std::function<void(MemoryRegistry&)> setUp;
        bool desktopFound;
        std::string hotSyncPath;
        std::string port;
    };
    const Row rows[] = {
        {"only the third root", [](MemoryRegistry&) {}, true, kHotSyncExe, "COM3"},
        {"Core under the first root, HotSync Manager under the second",
         [](MemoryRegistry& r) {
             r.DeleteKey(kRoot3);
             r.SetText(kRoot1 + "\\Core", "HotSyncPath", "D:\\P1\\HotSync.exe");
             r.SetText(kRoot2 + "\\HotSync Manager", "DirectComPort", "COM2");
         },
         true, "D:\\P1\\HotSync.exe", "COM2"},
        {"the first root denied: the next one serves",
         [](MemoryRegistry& r) {
             r.SetText(kRoot1 + "\\Core", "HotSyncPath", "D:\\P1\\HotSync.exe");
             r.Deny(kRoot1 + "\\Core");
         },
         true, kHotSyncExe, "COM3"},
        {"no Palm Desktop", [](MemoryRegistry& r) { r.DeleteKey(kRoot3); }, false, "", "COM1"},
        {"an empty port reads as COM1",
         [](MemoryRegistry& r) { r.SetText(kRoot3 + "\\HotSync Manager", "DirectComPort", ""); },
         true, kHotSyncExe, "COM1"},
        {"a program path that is no text",
         [](MemoryRegistry& r) {
             r.SetValue(kRoot3 + "\\Core", "HotSyncPath", regtype::Dword, {1, 0, 0, 0});
         },
         false, "", "COM3"},
        {"a port that is no text",
         [](MemoryRegistry& r) {
             r.SetValue(kRoot3 + "\\HotSync Manager", "DirectComPort", regtype::Binary, {'C', 'O'});
         },
         true, kHotSyncExe, "COM1"},
    };
    for (const Row& r : rows) {
        MemoryRegistry fresh;
        fresh.SetText(kRoot3 + "\\Core", "HotSyncPath", kHotSyncExe);
        fresh.SetText(kRoot3 + "\\HotSync Manager", "DirectComPort", "com3");
        r.setUp(fresh);
        THotSyncManager manager(fresh.Edge(), std::make_unique<FakeDesktop>(world),
                                std::make_unique<RecordingBoxes>(boxes));
        EXPECT_EQ(manager.DesktopFound(), r.desktopFound) << r.what;
        EXPECT_EQ(manager.HotSyncPath(), r.hotSyncPath) << r.what;
        EXPECT_EQ(manager.GetComPort(), r.port) << r.what;
    }
}

TEST_F(HotSyncManagerTest, HotSyncExistsOnlyWhereItsProgramIs) {
    EXPECT_TRUE(Make()->HotSyncExists());
    world->files.erase(kHotSyncExe);
    const auto manager = Make();
    EXPECT_FALSE(manager->HotSyncExists());
    EXPECT_TRUE(manager->DesktopFound());
}

TEST_F(HotSyncManagerTest, NotifiersTakeTheFirstFreeNameAndOnlyTheirOwnIsRemoved) {
    const std::string key = kRoot3 + "\\HotSync Manager";
    registry.SetText(key, "Notifier0", "C:\\Other\\a.dll");
    registry.SetText(key, "Notifier2", "C:\\Other\\b.dll");
    {
        auto manager = Make();
        manager->RegisterNotifier(kNotifier);
        manager->RegisterNotifier(kNotifier);  // once only
        EXPECT_EQ(manager->Notifiers().size(), 1u);
        ASSERT_TRUE(registry.Value(key, "Notifier1"));
        EXPECT_FALSE(registry.Value(key, "Notifier3"));
        // The user registered the same path by hand a second time.
        registry.SetText(key, "Notifier5", kNotifier);
        manager->UnregisterNotifiers();
        EXPECT_FALSE(registry.Value(key, "Notifier1"));
        EXPECT_TRUE(registry.Value(key, "Notifier5")) << "the lower name only";
        EXPECT_TRUE(registry.Value(key, "Notifier0") && registry.Value(key, "Notifier2"));
    }
}

TEST_F(HotSyncManagerTest, AMissingLibraryRaisesAndChangesNothing) {
    const std::string before = Key();
    auto manager = Make();
    world->files.erase(kNotifier);
    world->files.erase(kConduit);
    try {
        manager->RegisterNotifier(kNotifier);
        ADD_FAILURE() << "no error for a missing notifier";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Can't install DLL because the file can't be found: " + kNotifier);
    }
    EXPECT_THROW(manager->SetBackupConduit(kConduit), EInvalidOperation);
    EXPECT_EQ(Key(), before);
    EXPECT_TRUE(manager->Notifiers().empty());
}

TEST_F(HotSyncManagerTest, ValuesItDidNotWriteAreLeftAlone) {
    const std::string key = kRoot3 + "\\HotSync Manager";
    // A thousand names taken, some of them not text or without their NUL.
    for (int n = 0; n < 1000; ++n) {
        const std::string name = "Notifier" + std::to_string(n);
        if (n % 3 == 0)
            registry.SetValue(key, name, regtype::Binary, {'k', 'v', 'r'});
        else if (n % 3 == 1)
            registry.SetValue(key, name, regtype::Text, {'C', ':', 'x'});
        else
            registry.SetText(key, name, kNotifier + ".old");
    }
    registry.SetValue(key, "BackupConduit", regtype::Binary, {'b', 'a', 'k', 0, 1});
    const std::string before = Key();
    {
        auto manager = Make();
        manager->RegisterNotifier(kNotifier);  // no name free: nothing written
        manager->SetBackupConduit(kConduit);
        EXPECT_EQ(registry.Value(key, "BackupConduit")->data.size(), kConduit.size() + 1);
    }
    EXPECT_EQ(Key(), before) << "the binary conduit is back as it was";
}

TEST_F(HotSyncManagerTest, APortOfAnotherTypeDoesNotCostTheBackupConduit) {
    registry.SetValue(kRoot3 + "\\HotSync Manager", "DirectComPort", regtype::Dword, {3, 0, 0, 0});
    registry.SetText(kRoot3 + "\\HotSync Manager", "BackupConduit", "C:\\Mine\\mybackup.dll");
    const std::string before = Key();
    {
        auto manager = Make();
        manager->SetBackupConduit(kConduit);
    }
    EXPECT_EQ(Key(), before);
}

TEST_F(HotSyncManagerTest, AnAbsentBackupConduitIsAbsentAgainAtTheEnd) {
    registry.DeleteKey(kRoot3 + "\\HotSync Manager");
    registry.CreateKey(kRoot3 + "\\HotSync Manager");
    const std::string before = Key();
    {
        auto manager = Make();
        manager->SetBackupConduit(kConduit);
        // The conduit puts the default back during the restoring HotSync.
        registry.SetText(kRoot3 + "\\HotSync Manager", "BackupConduit", "bakcn20.dll");
    }
    EXPECT_EQ(Key(), before);
}

TEST_F(HotSyncManagerTest, SyncInProgress) {
    struct Row {
        uint32_t status;
        bool progressWindow;
        bool inProgress;
    };
    const Row rows[] = {
        {0, true, false}, {0xFFFFFFFF, false, true}, {7, false, false},
        {7, true, true},  {1, true, true},
    };
    auto manager = Make();
    for (const Row& r : rows) {
        world->windows.clear();
        if (r.progressWindow) world->OpenWindow(hotsync::kProgressTitle);
        world->syncStatus = r.status;
        EXPECT_EQ(manager->IsSyncInProgress(), r.inProgress) << r.status << " " << r.progressWindow;
    }
}

TEST_F(HotSyncManagerTest, ClosingWaitsForTheUserToAnswerAReportInAnyLanguage) {
    world->RunHotSyncByHand();
    world->OpenWindow("Probl\xE8me de synchronisation");
    const std::string problem = "Probl\xE8me de synchronisation";
    int idleAfterReport = 0;
    world->onIdle = [&] {
        // The user answers the report after it was brought up three times, then closes the
        // log a little later.
        if (std::count(world->events.begin(), world->events.end(), "top " + problem) == 3)
            world->CloseWindow(problem);
        if (!world->HasWindow(problem) && ++idleAfterReport == 4)
            world->CloseWindow("HotSync-Protokoll");
    };
    world->OpenWindow("HotSync-Protokoll");
    auto manager = Make();
    manager->CloseHotSync();
    EXPECT_EQ(std::count(world->events.begin(), world->events.end(), "top " + problem), 3);
    EXPECT_EQ(idleAfterReport, 4);
    EXPECT_EQ(world->events.back(), "exit request") << "only once the dialogs are gone";
    EXPECT_FALSE(manager->IsHotSyncRunning());
}

TEST_F(HotSyncManagerTest, StartRunsTheProgramFromItsFolder) {
    auto manager = Make();
    EXPECT_TRUE(manager->StartHotSync());
    EXPECT_EQ(world->lastCommandLine, kHotSyncExe);
    EXPECT_EQ(world->lastDirectory, "C:\\Palm");
    EXPECT_FALSE(manager->StartHotSync()) << "running already";
    registry.SetText(kRoot3 + "\\Core", "HotSyncPath", "C:\\HotSync.exe");
    world->files.insert("C:\\HotSync.exe");
    world->windows.clear();
    auto atRoot = Make();
    EXPECT_TRUE(atRoot->StartHotSync());
    EXPECT_EQ(world->lastDirectory, "C:\\") << "a drive root keeps its backslash";
}

TEST_F(HotSyncManagerTest, EasySyncKeepsHotSyncManagerFromBeingRestarted) {
    struct Row {
        const char* conduit;
        bool restarted;
    };
    for (const Row& r : {Row{"NsfAddr.dll", false}, Row{"nsfaddr.dll", true}}) {
        world->windows.clear();
        boxes.shown.clear();
        registry.SetText(kRoot3 + "\\Lotus", "Conduit", r.conduit);
        world->RunHotSyncByHand();
        {
            auto manager = Make();
            manager->CloseHotSync();
        }
        EXPECT_EQ(world->HasWindow(hotsync::kMainTitle), r.restarted) << r.conduit;
        EXPECT_EQ(boxes.shown.empty(), r.restarted) << r.conduit;
        if (!r.restarted) {
            EXPECT_EQ(boxes.shown[0].caption + ": " + boxes.shown[0].text,
                      "Unable to restart HotSync: Lotus EasySync Conduits Detected.  Please "
                      "manually restart the HotSync manager.");
        }
    }
}

// The wizard's road through the HotSync environment in normal mode, one step at a time.
using Step = std::function<void(THotSyncManager&, DesktopWorld&, MemoryRegistry&)>;
const std::vector<std::pair<const char*, Step>>& Road() {
    static const std::vector<std::pair<const char*, Step>> road = {
        {"welcome page",
         [](THotSyncManager& m, DesktopWorld&, MemoryRegistry&) { m.CloseHotSync(); }},
        {"HotSync page: notifier",
         [](THotSyncManager& m, DesktopWorld&, MemoryRegistry&) { m.RegisterNotifier(kNotifier); }},
        {"HotSync page: conduit",
         [](THotSyncManager& m, DesktopWorld&, MemoryRegistry&) { m.SetBackupConduit(kConduit); }},
        {"HotSync page: start",
         [](THotSyncManager& m, DesktopWorld&, MemoryRegistry&) { m.StartHotSync(); }},
        {"the backup HotSync: the notifier removes itself",
         [](THotSyncManager&, DesktopWorld&, MemoryRegistry& r) {
             for (const RegistryValue& v : r.Values(kRoot3 + "\\HotSync Manager"))
                 if (v.name.rfind("Notifier", 0) == 0 &&
                     std::string(v.data.begin(), v.data.end() - 1) == kNotifier) {
                     r.Edge()->OpenCurrentUser(kRoot3 + "\\HotSync Manager")->DeleteValue(v.name);
                     break;
                 }
         }},
        {"before the serial connection",
         [](THotSyncManager& m, DesktopWorld&, MemoryRegistry&) { m.CloseHotSync(); }},
        {"final HotSync page",
         [](THotSyncManager& m, DesktopWorld&, MemoryRegistry&) {
             m.UnregisterNotifiers();
             m.StartHotSync();
         }},
        {"the restoring HotSync: the conduit writes the default back",
         [](THotSyncManager&, DesktopWorld&, MemoryRegistry& r) {
             // Under the first vendor root only, and only where that key exists.
             if (auto key = r.Edge()->OpenCurrentUser(kRoot1 + "\\HotSync Manager"))
                 key->WriteText("BackupConduit", "bakcn20.dll");
         }},
    };
    return road;
}

TEST_F(HotSyncManagerTest, EndingAnywhereLeavesTheKeyAndHotSyncManagerAsFound) {
    registry.SetText(kRoot3 + "\\HotSync Manager", "Notifier0", "C:\\Other\\theirs.dll");
    for (bool runningAtStart : {true, false}) {
        for (size_t cancelAfter = 0; cancelAfter <= Road().size(); ++cancelAfter) {
            SCOPED_TRACE(std::string(runningAtStart ? "running" : "not running") +
                         ", ended after " + std::to_string(cancelAfter) + " steps");
            world = std::make_shared<DesktopWorld>();
            world->files = {kHotSyncExe, kNotifier, kConduit};
            if (runningAtStart) world->RunHotSyncByHand();
            const std::string before = Key();
            {
                auto manager = Make();
                for (size_t i = 0; i < cancelAfter; ++i)
                    Road()[i].second(*manager, *world, registry);
            }
            EXPECT_EQ(Key(), before);
            EXPECT_EQ(world->HasWindow(hotsync::kMainTitle), runningAtStart);
        }
    }
}

TEST_F(HotSyncManagerTest, AHotSyncManagerThatWillNotExitIsGivenTwoSeconds) {
    auto manager = Make();
    ASSERT_TRUE(manager->StartHotSync());
    world->hotSyncObeysExit = false;
    const uint32_t start = world->now;
    manager->CloseHotSync();
    EXPECT_GE(world->now - start, 2000u);
    EXPECT_LT(world->now - start, 2100u);
    EXPECT_TRUE(manager->IsHotSyncRunning());
    EXPECT_EQ(manager->ClosedCount(), 0) << "one the wizard started does not count";
}

TEST_F(HotSyncManagerTest, OneStartedAMomentAgoIsClosedOnceItShowsItsWindow) {
    world->windowDelayMs = 700;
    {
        auto manager = Make();
        ASSERT_TRUE(manager->StartHotSync());
        EXPECT_FALSE(manager->IsHotSyncRunning()) << "its window is not up yet";
    }
    EXPECT_FALSE(world->HasWindow(hotsync::kMainTitle)) << "left running after the end";
    EXPECT_EQ(world->processes.begin()->second.exitCode, 0u);

    // One that ends before it shows a window is not waited for.
    world = std::make_shared<DesktopWorld>();
    world->files = {kHotSyncExe};
    world->windowDelayMs = 700;
    auto manager = Make();
    ASSERT_TRUE(manager->StartHotSync());
    world->processes.begin()->second.exitCode = 1;
    const uint32_t start = world->now;
    manager->CloseHotSync();
    EXPECT_LT(world->now - start, 100u);
}

}  // namespace
