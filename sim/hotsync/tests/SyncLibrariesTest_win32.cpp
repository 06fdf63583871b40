// HotSync Manager's conduit libraries as the backup conduit reaches them: their export tables
// read from the files against the conduit's import lists, then loaded and called by ordinal
// and by name, as the conduit calls them, on a simulated world in scratch folders and keys.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "base/PeImage.h"
#include "base/RegistryEdge.h"
#include "base/SyncApi.h"
#include "base/SyncRecords.h"
#include "sim/HandheldStore.h"
#include "sim/hotsync/ScratchWorld.h"
#include "sim/hotsync/SyncServer.h"
#include "sim/hotsync/WorldSettings.h"
#include "sim/hotsync/tests/HotSyncTestData.h"

namespace {

// The conduit's import lists (conduit/*_imports.def), as the build found them.
struct ImportList {
    const char* library;
    const char* def;
};
constexpr ImportList kImportLists[] = {
#include "ConduitImports.inc"
};

const std::string kUser = "Ann Smith";

std::string Beside(const std::string& name) {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\') + 1) + name;
}

template <typename Entry>
Entry Find(HMODULE module, const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
template <typename Entry>
Entry Find(HMODULE module, WORD ordinal) {
    return Find<Entry>(module, MAKEINTRESOURCEA(ordinal));
}

// One line of a module-definition file's EXPORTS: its name without the @N decoration, and its
// ordinal when it is imported by ordinal only.
struct DefExport {
    std::string name;
    int ordinal = 0;
};
std::vector<DefExport> ParseDef(const std::string& text) {
    std::vector<DefExport> exports;
    std::istringstream lines(text);
    bool inExports = false;
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(0, line.find(';'));
        std::istringstream words(line);
        std::string first, second, third;
        words >> first >> second >> third;
        if (first.empty()) continue;
        if (first == "EXPORTS") {
            inExports = true;
            continue;
        }
        if (!inExports) continue;
        DefExport e{first.substr(0, first.find('@')), 0};
        if (!second.empty() && second[0] == '@' && third == "NONAME")
            e.ordinal = std::stoi(second.substr(1));
        exports.push_back(e);
    }
    return exports;
}

TEST(SyncLibraryTables, EveryEntryWhereTheConduitImportsIt) {
    for (const ImportList& list : kImportLists) {
        const std::vector<DefExport> wanted = ParseDef(list.def);
        ASSERT_FALSE(wanted.empty()) << list.library;
        std::string error;
        const auto image = pe::ReadFile(Beside(list.library), error);
        ASSERT_TRUE(image) << list.library << ": " << error;
        EXPECT_EQ(image->machine, sizeof(void*) == 4 ? 0x14C : 0x8664) << list.library;
        EXPECT_EQ(image->exportName, list.library);
        EXPECT_EQ(image->exportedFunctions, wanted.size()) << list.library << ": nothing more";
        HMODULE module = LoadLibraryA(Beside(list.library).c_str());
        ASSERT_TRUE(module) << list.library;
        for (const DefExport& e : wanted) {
            const bool named = std::any_of(image->exports.begin(), image->exports.end(),
                                           [&](const pe::Export& x) { return x.name == e.name; });
            if (e.ordinal == 0) {
                EXPECT_TRUE(named) << list.library << ": " << e.name << ", plain, undecorated";
                continue;
            }
            EXPECT_FALSE(named) << list.library << ": " << e.name << " is by ordinal only";
            EXPECT_TRUE(Find<void*>(module, static_cast<WORD>(e.ordinal)))
                << list.library << ": ordinal " << e.ordinal;
        }
        FreeLibrary(module);
    }
}

// A world whose handheld holds a record database, a resource database and one added to the
// flash ROM, with the four libraries loaded from beside the test.
class SyncLibraries : public ::testing::Test {
protected:
    SyncLibraries() : world_(kUser), store_(world_.Handheld()) {}
    void SetUp() override {
        std::string error;
        memo_ = TestDatabase("Memo Pad", 3, false, 3);
        ASSERT_TRUE(store_.WriteUser(kUser, error) &&
                    store_.Write(StoreFolder::Ram, memo_, error) &&
                    store_.Write(StoreFolder::Ram, TestDatabase("Tools", 2, true, 4), error) &&
                    store_.Write(StoreFolder::RomAdded, TestDatabase("Added", 1, true, 5), error))
            << error;
        for (const char* name : {"sync20.dll", "hslog20.dll", "condmgr.dll", "pdcmn21.dll"}) {
            modules_.push_back(LoadLibraryA(Beside(name).c_str()));
            ASSERT_TRUE(modules_.back()) << name;
        }
    }
    void TearDown() override {
        for (HMODULE module : modules_)
            if (module) FreeLibrary(module);
    }

    ScratchWorld world_;
    HandheldStore store_;
    PalmDatabase memo_;
    std::vector<HMODULE> modules_;
};

// With the world's FaultTransient above the calls a test makes, each call answers "try
// again" once, then for real.
template <class Call>
int32_t Retried(Call call) {
    EXPECT_EQ(call(), syncerr::kTransient);
    return call();
}

TEST_F(SyncLibraries, TheSyncManagerAnswersFromTheHandheld) {
    const HMODULE sync = modules_[0];
    const auto registerConduit = Find<decltype(&SyncRegisterConduit)>(sync, 22);
    const auto unregister = Find<decltype(&SyncUnRegisterConduit)>(sync, 23);
    const auto readUser = Find<decltype(&SyncReadUserID)>(sync, 24);
    const auto open = Find<decltype(&SyncOpenDB)>(sync, 26);
    const auto readList = Find<decltype(&SyncReadDBList)>(sync, 30);
    const auto readRecord = Find<decltype(&SyncReadRecordByIndex)>(sync, 36);
    const auto cardInfo = Find<decltype(&SyncReadSingleCardInfo)>(sync, "SyncReadSingleCardInfo");
    const auto closeEx = Find<decltype(&SyncCloseDBEx)>(sync, "SyncCloseDBEx");
    const auto toWord = Find<decltype(&SyncHostToHHWord)>(sync, "SyncHostToHHWord");
    const auto toDWord = Find<decltype(&SyncHostToHHDWord)>(sync, "SyncHostToHHDWord");
    const auto fromDWord = Find<decltype(&SyncHHToHostDWord)>(sync, "SyncHHToHostDWord");
    ASSERT_TRUE(registerConduit && unregister && readUser && open && readList && readRecord &&
                cardInfo && closeEx && toWord && toDWord && fromDWord);

    uint8_t user[userinfo::kSize] = {};
    EXPECT_EQ(readUser(user), syncanswer::kNotRegistered) << "no conduit registered yet";
    world_.SetNumber(hsworld::kFaultTransient, 1000);
    int32_t conduit = 0;
    ASSERT_EQ(registerConduit(&conduit), 0);
    EXPECT_EQ(registerConduit(&conduit), syncanswer::kAlreadyRegistered);
    ASSERT_EQ(Retried([&] { return readUser(user); }), 0);
    EXPECT_EQ(UnpackUserInfo(user).name, kUser);
    uint8_t card[cardinfo::kSize] = {};
    ASSERT_EQ(Retried([&] { return cardInfo(card); }), 0);
    EXPECT_EQ(UnpackCardInfo(card).romDatabases, 1);
    uint8_t entries[4 * dbentry::kSize] = {};
    uint16_t listed = 4;
    ASSERT_EQ(Retried([&] { return readList(0, 0, 1, entries, &listed); }), 0);
    ASSERT_EQ(listed, 2);
    EXPECT_EQ(UnpackDatabaseEntry(entries + dbentry::kSize).name, "Tools");

    uint8_t handle = 0;
    ASSERT_EQ(Retried([&] { return open("Memo Pad", 0, &handle, 0x90); }), 0);
    std::vector<uint8_t> buffer(SyncServer::kMostRecordSize);
    SyncRecordRead record{handle, 0, 2, buffer.data(), SyncServer::kMostRecordSize, 0, 0, 0, 0, 0};
    ASSERT_EQ(Retried([&] { return readRecord(&record); }), 0);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + record.size),
              memo_.records[2].data);
    ASSERT_EQ(Retried([&] { return closeEx(handle, kSyncCloseUpdateBackupDate); }), 0);
    PalmDatabase kept;
    std::string error;
    ASSERT_EQ(store_.Read(StoreFolder::Ram, "Memo Pad", kept, error), StoreStatus::Ok);
    EXPECT_NE(kept.backupDate, 0u) << "the handheld keeps the backup date";

    EXPECT_EQ(toWord(0x1234), 0x3412);
    EXPECT_EQ(toDWord(0x12345678), 0x78563412u);
    EXPECT_EQ(fromDWord(0x78563412), 0x12345678u);
    EXPECT_EQ(unregister(conduit), 0);
    EXPECT_EQ(readUser(user), syncanswer::kNotRegistered);
}

TEST_F(SyncLibraries, TheLogTheConduitManagerAndTheCommonLibrary) {
    const auto add = Find<decltype(&LogAddEntry)>(modules_[1], 52);
    const auto addFormatted =
        Find<decltype(&LogAddFormattedEntry)>(modules_[1], "LogAddFormattedEntry");
    const auto setConduit = Find<decltype(&CmSetBackupConduit)>(modules_[2], 82);
    const auto init = Find<decltype(&InitPdcmn5DLL)>(modules_[3], "InitPdcmn5DLL");
    ASSERT_TRUE(add && addFormatted && setConduit && init);

    EXPECT_EQ(add("Stashmate: starting", logactivity::kStart, 1), 0);
    EXPECT_EQ(addFormatted(logactivity::kWarning, 0, "WARNING: %s (%ld)", "Memo Pad", 16387L), 0);
    EXPECT_EQ(add("Stashmate", logactivity::kEndFail, 0), 0);
    std::istringstream log(
        ScratchWorld::ReadFile(world_.UserFolder() + "\\HotSync.log").value_or(""));
    std::string line;
    ASSERT_TRUE(std::getline(log, line));
    EXPECT_EQ(line.substr(0, 23), "> Stashmate: starting [") << line;
    EXPECT_EQ(line.size(), 21u + 22u + 1u) << line << ": [YYYY-MM-DD HH:MM:SS], CR LF";
    ASSERT_TRUE(std::getline(log, line));
    EXPECT_EQ(line, "! WARNING: Memo Pad (16387)\r");
    ASSERT_TRUE(std::getline(log, line));
    EXPECT_EQ(line, "x Stashmate\r");

    const std::string path = "C:\\Kit\\stashmate.dll";
    EXPECT_EQ(setConduit(path.c_str()), 0);
    EXPECT_EQ(setConduit(nullptr), hsworld::kBadArgument);
    const RegistryValue set{"BackupConduit", regtype::Text,
                            std::vector<uint8_t>(path.c_str(), path.c_str() + path.size() + 1)};
    const auto values = world_.HotSyncValues();
    EXPECT_NE(std::find(values.begin(), values.end(), set), values.end()) << "with its NUL";

    EXPECT_EQ(init(), 0);
    EXPECT_EQ(init(), 0);
    EXPECT_EQ(hsworld::ReadNumber(*MakeRegistryEdge(), hsworld::kCommonLibraryInits), 2u);
}

}  // namespace
