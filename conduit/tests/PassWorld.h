// Test equipment of the conduit's native tests: a handheld in memory, the desktop's real files
// in a scratch folder (a user "Ann" with her backup folder), the HotSync log kept as lines,
// windows whose Cancel a test presses, and the default conduit's registry value kept.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "base/SyncLayouts.h"
#include "conduit/BackupPass.h"
#include "conduit/BackupWindows.h"
#include "conduit/DesktopFiles.h"
#include "conduit/tests/MemorySyncManager.h"
#include "sim/PalmDatabase.h"

// The log as the HotSync stand-in writes it: plain text as is, "! " warnings, "> " a
// conduit's start (and " [time]" when stamped), "= " its end after success, "x " after failure.
class LinesLog : public HotSyncLog {
public:
    std::vector<std::string> lines;
    void Add(int32_t activity, bool timestamp, const std::string& text) override {
        const char* mark = activity == logactivity::kWarning   ? "! "
                           : activity == logactivity::kStart   ? "> "
                           : activity == logactivity::kEndOk   ? "= "
                           : activity == logactivity::kEndFail ? "x "
                                                               : "";
        lines.push_back(mark + text + (timestamp ? " [time]" : ""));
    }
};

class PressableWindows : public BackupWindows {
public:
    int cancelAtCheck = -1;  // CancelRequested() answers true from this call (0-based) on
    int checks = 0, passSteps = 0, itemSteps = 0;
    bool open = false;
    void Open() override { open = true; }
    void Close() override { open = false; }
    void SetTitle(const std::string& phase) override { titles.push_back(phase); }
    void StartPass(int) override {}
    void StepPass() override { ++passSteps; }
    void StartItem(const std::string&, const std::string&, int) override {}
    void StepItem() override { ++itemSteps; }
    bool CancelRequested() override { return cancelAtCheck >= 0 && checks++ >= cancelAtCheck; }
    std::vector<std::string> titles;
};

// A database for the handheld: `records` records (or resources) of a few bytes each.
struct DbShape {
    std::string name;
    int records = 2;
    bool resource = false;
    const char* type = "DATA";
    const char* creator = "KTst";
    uint32_t created = 3000000000u;  // seconds since 1904
    uint32_t modified = 3000086400u;
    bool appInfo = false;
    uint8_t seed = 1;
};

inline PalmDatabase MakeDb(const DbShape& shape) {
    PalmDatabase db;
    db.SetName(shape.name);
    db.attributes = shape.resource ? palmdb::kResourceDatabase : 0;
    db.version = 1;
    db.creationDate = shape.created;
    db.modificationDate = shape.modified;
    db.backupDate = 0;
    palmdb::ParseFourCc(shape.type, db.type);
    palmdb::ParseFourCc(shape.creator, db.creator);
    if (shape.appInfo) db.appInfo = std::vector<uint8_t>{9, 8, 7, shape.seed};
    for (int i = 0; i < shape.records; ++i) {
        std::vector<uint8_t> data(static_cast<size_t>(3 + i), static_cast<uint8_t>(shape.seed + i));
        if (shape.resource) {
            db.resources.push_back({palmdb::FourCc("tSTR"), static_cast<uint16_t>(1000 + i), data});
        } else {
            db.records.push_back(
                {static_cast<uint8_t>(0x40 | (i % 3)), static_cast<uint32_t>(0x10000 + i), data});
        }
    }
    return db;
}

class PassWorld {
public:
    PassWorld()
        // Tests run as processes of their own side by side: the name alone would be shared.
        : root_(std::filesystem::temp_directory_path() /
                ("conduit-" + std::to_string(std::random_device{}()) + "-" +
                 std::to_string(counter_++))),
          files_(MakeDesktopFiles()) {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "Ann" / "BACKUP");
    }
    ~PassWorld() { std::filesystem::remove_all(root_); }

    MemoryHandheld handheld;
    LinesLog log;
    PressableWindows windows;
    std::vector<std::string> backupConduitWrites;
    std::vector<uint32_t> sleeps;
    std::unique_ptr<MemorySyncManager> sync;

    // The desktop as the conduit names it: "<root>\Ann\BACKUP\".
    std::string BackupFolder() const { return root_.string() + "\\Ann\\BACKUP\\"; }
    std::filesystem::path Path(const std::string& relative) const {
        return root_ / "Ann" / relative;
    }

    int32_t Run(uint32_t syncType = syncprops::kSyncTypeHandheldOverwrites, bool modem = false,
                DesktopFiles* files = nullptr) {
        sync = std::make_unique<MemorySyncManager>(handheld);
        std::vector<uint8_t> properties(syncprops::kSize, 0);
        byteorder::PutLE32(properties.data() + syncprops::kSyncType, syncType);
        byteorder::PutLE32(properties.data() + syncprops::kConnectionType,
                           modem ? syncprops::kModemConnection : 0);
        const std::string folder = BackupFolder();
        std::copy(folder.begin(), folder.end(), properties.begin() + syncprops::kPathName);
        ConduitWorld world{*sync,
                           log,
                           files ? *files : *files_,
                           windows,
                           [this](const std::string& file) {
                               backupConduitWrites.push_back(file);
                               return 0;
                           },
                           [this](uint32_t ms) { sleeps.push_back(ms); },
                           [] { return 1234567890u; }};
        return RunBackup(world, properties.data());
    }

    // The database a desktop file holds; a failure of the test when it holds none.
    PalmDatabase Read(const std::string& relative) const {
        std::ifstream in(Path(relative), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        PalmDatabase db;
        std::string error;
        EXPECT_TRUE(ReadPalmDatabase(bytes.data(), bytes.size(), db, error))
            << relative << ": " << error;
        return db;
    }
    std::string Bytes(const std::string& relative) const {
        std::ifstream in(Path(relative), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Write(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories(Path(relative).parent_path());
        std::ofstream(Path(relative), std::ios::binary) << bytes;
    }
    // A backup file as an earlier HotSync left it.
    void Write(const std::string& relative, const PalmDatabase& db) const {
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(WritePalmDatabase(db, bytes, error)) << error;
        Write(relative, std::string(bytes.begin(), bytes.end()));
    }
    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(Path(relative));
    }
    // Every file below the user's folder, as "FOLDER/NAME".
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root_ / "Ann"))
            if (entry.is_regular_file())
                names.push_back(
                    std::filesystem::relative(entry.path(), root_ / "Ann").generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }
    DesktopFiles& Desktop() { return *files_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path root_;
    std::unique_ptr<DesktopFiles> files_;
};
