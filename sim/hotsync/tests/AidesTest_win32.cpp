// The stand-ins of userdata.dll and instaide.dll as the notifiers reach them: by ordinal,
// stdcall, with buffers of the caller's size, on a world whose settings may be missing.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "sim/hotsync/ScratchWorld.h"
#include "sim/hotsync/WorldSettings.h"

namespace {

const std::string kUser = "Kestrel Tester";  // 14 characters

using UserNameEntry = LONG(WINAPI*)(DWORD, char*, DWORD*);
using UserDirectoryEntry = LONG(WINAPI*)(const char*, char*, DWORD*);
using QueueEntry = LONG(WINAPI*)(const char*, const char*);

std::string Beside(const std::string& name) {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\') + 1) + name;
}

template <typename Entry>
Entry Ordinal(HMODULE module, WORD ordinal) {
    return reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

class Aides : public ::testing::Test {
protected:
    Aides() : world_(kUser) {}
    void SetUp() override {
        userdata_ = LoadLibraryA(Beside("userdata.dll").c_str());
        instaide_ = LoadLibraryA(Beside("instaide.dll").c_str());
        ASSERT_TRUE(userdata_ && instaide_);
        userName_ = Ordinal<UserNameEntry>(userdata_, 103);
        userDirectory_ = Ordinal<UserDirectoryEntry>(instaide_, 300);
        queue_ = Ordinal<QueueEntry>(instaide_, 103);
        ASSERT_TRUE(userName_ && userDirectory_ && queue_);
    }
    void TearDown() override {
        if (userdata_) FreeLibrary(userdata_);
        if (instaide_) FreeLibrary(instaide_);
    }

    ScratchWorld world_;
    HMODULE userdata_ = nullptr, instaide_ = nullptr;
    UserNameEntry userName_ = nullptr;
    UserDirectoryEntry userDirectory_ = nullptr;
    QueueEntry queue_ = nullptr;
};

TEST_F(Aides, TextsAreCutToTheCallersBuffer) {
    const std::string folder = world_.Desktop() + "\\" + kUser;
    struct Row {
        DWORD capacity;
        LONG result;
        size_t kept;  // characters of the text in the buffer
    };
    const Row rows[] = {
        {0, hsworld::kBadArgument, 0},  // not even room for the NUL: the buffer is not touched
        {1, hsworld::kCut, 0},         {5, hsworld::kCut, 4},   {14, hsworld::kCut, 13},
        {15, hsworld::kOk, 14},        {255, hsworld::kOk, 14},
    };
    for (const Row& r : rows) {
        char buffer[300];
        std::fill(std::begin(buffer), std::end(buffer), '#');
        DWORD capacity = r.capacity;
        EXPECT_EQ(userName_(0, buffer, &capacity), r.result) << r.capacity;
        EXPECT_EQ(capacity, 15u) << r.capacity << ": what the whole name needs";
        if (r.capacity > 0) {
            EXPECT_EQ(std::string(buffer), kUser.substr(0, r.kept)) << r.capacity;
        }
        EXPECT_EQ(buffer[r.capacity], '#') << r.capacity << ": nothing beyond the buffer";
    }
    char buffer[300];
    DWORD capacity = sizeof buffer;
    EXPECT_EQ(userDirectory_(kUser.c_str(), buffer, &capacity), hsworld::kOk);
    EXPECT_EQ(std::string(buffer), folder);
    capacity = static_cast<DWORD>(folder.size());
    EXPECT_EQ(userDirectory_(kUser.c_str(), buffer, &capacity), hsworld::kCut);
    EXPECT_EQ(std::string(buffer), folder.substr(0, folder.size() - 1));
    EXPECT_EQ(capacity, folder.size() + 1);

    world_.SetSetting(hsworld::kDesktop, world_.Desktop() + "\\\\");
    capacity = sizeof buffer;
    EXPECT_EQ(userDirectory_(kUser.c_str(), buffer, &capacity), hsworld::kOk);
    EXPECT_EQ(std::string(buffer), folder) << "one backslash between, none at the end";
}

TEST_F(Aides, MissingSettingsAndBadArgumentsAreErrors) {
    char buffer[300] = "left over";
    DWORD capacity = sizeof buffer;
    EXPECT_EQ(userName_(0, nullptr, &capacity), hsworld::kBadArgument);
    EXPECT_EQ(userName_(0, buffer, nullptr), hsworld::kBadArgument);
    EXPECT_EQ(userDirectory_(nullptr, buffer, &capacity), hsworld::kBadArgument);
    EXPECT_EQ(std::string(buffer), "") << "nothing to report leaves an empty text";
    for (const char* user : {"", ".", "..", "..\\Other", "a/b", "C:"}) {
        capacity = sizeof buffer;
        EXPECT_EQ(userDirectory_(user, buffer, &capacity), hsworld::kBadArgument) << user;
        EXPECT_EQ(std::string(buffer), "") << user;
    }
    EXPECT_EQ(queue_(nullptr, "C:\\x"), hsworld::kBadArgument);
    EXPECT_EQ(queue_(kUser.c_str(), nullptr), hsworld::kBadArgument);

    world_.SetSetting(hsworld::kUser, std::nullopt);
    world_.SetSetting(hsworld::kDesktop, std::nullopt);
    capacity = sizeof buffer;
    EXPECT_EQ(userName_(0, buffer, &capacity), hsworld::kMissing);
    EXPECT_EQ(std::string(buffer), "");
    capacity = sizeof buffer;
    EXPECT_EQ(userDirectory_(kUser.c_str(), buffer, &capacity), hsworld::kMissing);
    EXPECT_EQ(std::string(buffer), "");
}

TEST_F(Aides, QueuedFilesWaitInTheHandheldsInstallFolder) {
    const std::string loader = world_.Root() + "\\Kit\\sys\\Bootlet.prc";
    ScratchWorld::WriteFile(loader, "first");
    EXPECT_EQ(queue_(kUser.c_str(), loader.c_str()), hsworld::kOk);
    EXPECT_EQ(ScratchWorld::ReadFile(world_.InstallFolder() + "\\Bootlet.prc"), "first");
    ScratchWorld::WriteFile(loader, "second");
    EXPECT_EQ(queue_(kUser.c_str(), loader.c_str()), hsworld::kOk) << "queued again";
    EXPECT_EQ(ScratchWorld::ReadFile(world_.InstallFolder() + "\\Bootlet.prc"), "second");
    DeleteFileA(loader.c_str());
    EXPECT_EQ(ScratchWorld::ReadFile(world_.InstallFolder() + "\\Bootlet.prc"), "second")
        << "a copy, not a reference";
}

TEST_F(Aides, NothingIsQueuedWhereItCannotBe) {
    const std::string loader = world_.Root() + "\\Kit\\sys\\Bootlet.prc";
    ScratchWorld::WriteFile(loader, "loader");
    struct Row {
        const char* what;
        std::string user, path;
        std::optional<std::string> handheld;  // the world's setting; nullopt: none
        LONG result;
    };
    const Row rows[] = {
        {"no such file", kUser, world_.Root() + "\\Kit\\sys\\Missing.prc", world_.Handheld(),
         hsworld::kMissing},
        {"a folder", kUser, world_.Root() + "\\Kit\\sys", world_.Handheld(), hsworld::kMissing},
        {"another user's handheld is not here", "Someone Else", loader, world_.Handheld(),
         hsworld::kMissing},
        {"no handheld set", kUser, loader, std::nullopt, hsworld::kMissing},
        {"a handheld that is not there", kUser, loader, world_.Root() + "\\gone",
         hsworld::kFileError},
    };
    for (const Row& r : rows) {
        world_.SetSetting(hsworld::kHandheld, r.handheld);
        EXPECT_EQ(queue_(r.user.c_str(), r.path.c_str()), r.result) << r.what;
        EXPECT_FALSE(ScratchWorld::Exists(world_.InstallFolder())) << r.what;
        EXPECT_FALSE(ScratchWorld::Exists(world_.Root() + "\\gone")) << r.what;
    }
}

}  // namespace
