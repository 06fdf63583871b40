// The notifier libraries loaded and called as HotSync Manager does, beside the stand-ins of
// Palm Desktop's userdata.dll and instaide.dll, on a simulated world in scratch folders: what
// a user would find afterwards in the registry, in the desktop folders and in the handheld's
// queue.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/RegistryEdge.h"
#include "sim/hotsync/ScratchWorld.h"

namespace {

const char kUser[] = "Kestrel Tester";
const char kLoader[] = "Bootlet.prc as the kit ships it";

std::string Beside(const std::string& name) {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\') + 1) + name;
}

// How HotSync Manager calls a notifier: stdcall, by plain name.
using NotifyEntry = LONG(WINAPI*)(LONG, DWORD);
using VersionEntry = LONG(WINAPI*)();

class Library {
public:
    explicit Library(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    bool Loaded() const { return module_ != nullptr; }
    LONG Notify(LONG code, DWORD data = 0x5A5A) const {
        const auto entry = reinterpret_cast<NotifyEntry>(
            reinterpret_cast<void*>(GetProcAddress(module_, "HS_Notify")));
        return entry ? entry(code, data) : -1;
    }
    LONG Version() const {
        const auto entry = reinterpret_cast<VersionEntry>(
            reinterpret_cast<void*>(GetProcAddress(module_, "GetNotifierVersion")));
        return entry ? entry() : -1;
    }

private:
    HMODULE module_;
};

class NotifierLoad : public ::testing::Test {
protected:
    NotifierLoad() : world_(kUser) {}

    void SetUp() override {
        kit_ = world_.Root() + "\\Kit";
        ScratchWorld::WriteFile(kit_ + "\\sys\\Bootlet.prc", kLoader);
        for (const char* library : {"kvrnotify.dll", "stashkick.dll"})
            ASSERT_TRUE(CopyFileA(Beside(library).c_str(), (kit_ + "\\" + library).c_str(), FALSE))
                << library;
        ScratchWorld::WriteFile(Marker(), "");
        ScratchWorld::WriteFile(Backup(), "old loader");
        ScratchWorld::WriteFile(TempBackup(), "old loader");
        world_.SetHotSyncText("Notifier0", kit_ + "\\kvrnotify.dll");
        world_.SetHotSyncText("Notifier1", "C:\\Program Files\\Palm\\other.dll");
        world_.SetHotSyncText("Notifier2", "D:\\OLD KIT\\KVRNOTIFY.DLL");
        world_.SetHotSyncText("Notifier3", kit_ + "\\stashkick.dll");
        const std::string expandable = "%KIT%\\kvrnotify.dll";
        std::vector<uint8_t> data(expandable.begin(), expandable.end());
        data.push_back(0);
        world_.SetHotSyncValue("Notifier4", regtype::ExpandText, data);
        world_.SetHotSyncText("BackupConduit", kit_ + "\\stashmate.dll");
        // Another program's notifier with the same file name, loaded from elsewhere, would
        // stand in for ours.
        ASSERT_EQ(GetModuleHandleA("kvrnotify.dll"), nullptr);
    }

    std::string Marker() const { return world_.UserFolder() + "\\sm.run"; }
    std::string Backup() const { return world_.UserFolder() + "\\BACKUP\\Bootlet.prc"; }
    std::string TempBackup() const {
        return world_.UserFolder() + "\\BACKUP\\temp007\\Bootlet.prc";
    }
    std::string Queued() const { return world_.InstallFolder() + "\\Bootlet.prc"; }
    std::vector<std::string> Values() const {
        std::vector<std::string> names;
        for (const RegistryValue& v : world_.HotSyncValues()) names.push_back(v.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchWorld world_;
    std::string kit_;
};

TEST_F(NotifierLoad, LoaderStagingThroughAWholeHotSync) {
    const Library notifier(kit_ + "\\kvrnotify.dll");
    ASSERT_TRUE(notifier.Loaded());
    EXPECT_EQ(notifier.Version(), 1);

    EXPECT_EQ(notifier.Notify(1), 1);
    EXPECT_EQ(ScratchWorld::ReadFile(Queued()), kLoader) << "queued for the handheld";
    EXPECT_FALSE(ScratchWorld::Exists(Marker()));
    EXPECT_TRUE(ScratchWorld::Exists(Backup())) << "the backup is left until the end";
    EXPECT_EQ(Values().size(), 6u) << "the registration is left until the end";

    EXPECT_EQ(notifier.Notify(2), 1);
    EXPECT_EQ(Values(),
              (std::vector<std::string>{"BackupConduit", "Notifier1", "Notifier3", "Notifier4"}));
    EXPECT_FALSE(ScratchWorld::Exists(Backup()));
    EXPECT_FALSE(ScratchWorld::Exists(TempBackup()));
    EXPECT_TRUE(ScratchWorld::Exists(world_.UserFolder() + "\\BACKUP\\temp007"))
        << "only the files go";

    EXPECT_EQ(notifier.Notify(3), 1) << "a second end finds nothing more to do";
    EXPECT_EQ(notifier.Notify(4), 1);
}

TEST_F(NotifierLoad, MarkerClearingQueuesNothing) {
    const Library notifier(kit_ + "\\stashkick.dll");
    ASSERT_TRUE(notifier.Loaded());
    EXPECT_EQ(notifier.Version(), 1);

    EXPECT_EQ(notifier.Notify(1), 1);
    EXPECT_FALSE(ScratchWorld::Exists(Marker()));
    EXPECT_FALSE(ScratchWorld::Exists(world_.InstallFolder()));

    EXPECT_EQ(notifier.Notify(3), 1);
    EXPECT_EQ(Values(),
              (std::vector<std::string>{"BackupConduit", "Notifier1", "Notifier3", "Notifier4"}))
        << "its own registration stays";
    EXPECT_TRUE(ScratchWorld::Exists(Backup()));
    EXPECT_TRUE(ScratchWorld::Exists(TempBackup()));
}

TEST_F(NotifierLoad, UnderAnotherNameNothingIsStaged) {
    ASSERT_TRUE(
        CopyFileA((kit_ + "\\kvrnotify.dll").c_str(), (kit_ + "\\kvrloader.dll").c_str(), FALSE));
    const Library notifier(kit_ + "\\kvrloader.dll");
    ASSERT_TRUE(notifier.Loaded());
    EXPECT_EQ(notifier.Notify(1), 1);
    EXPECT_FALSE(ScratchWorld::Exists(world_.InstallFolder()));
    EXPECT_TRUE(ScratchWorld::Exists(Marker()));
}

}  // namespace
