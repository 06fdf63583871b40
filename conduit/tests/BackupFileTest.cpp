// One database written as a backup file, byte for byte as the format lays it out, and the
// previous backup kept whenever the new one cannot be made whole.
#include "conduit/BackupFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "conduit/BackupNames.h"
#include "conduit/SyncCalls.h"
#include "conduit/tests/PassWorld.h"

namespace {

using byteorder::GetBE16;
using byteorder::GetBE32;

constexpr uint32_t kNow = 1234567890;  // the run's clock
constexpr uint32_t k1904 = 2082844800;

struct Written {
    int32_t result = 0;
    std::string bytes;
    std::vector<std::string> log;
};

// Writes the first RAM (or, with `kind` FlashRom, ROM) database of `handheld` into
// BACKUP/X.PDB of a fresh desktop, through `files` when given.
Written WriteOne(MemoryHandheld handheld, BackupKind kind = BackupKind::Ram,
                 const std::function<void(PassWorld&)>& prepare = {},
                 DesktopFiles* files = nullptr) {
    PassWorld w;
    w.handheld = std::move(handheld);
    if (prepare) prepare(w);
    MemorySyncManager sync(w.handheld);
    SyncCalls calls(sync, [](uint32_t) {});
    BackupWrite write{calls, w.log, files ? *files : w.Desktop(), w.windows, 3, kNow};
    const PalmDatabase& db = kind == BackupKind::Ram ? w.handheld.ram[0] : w.handheld.rom[0];
    DatabaseEntry entry = EntryOf(db, 0);
    Written out;
    out.result = WriteBackupFile(write, entry, kind, w.Path("BACKUP").string() + "\\X.PDB");
    out.bytes = w.Bytes("BACKUP/X.PDB");
    out.log = w.log.lines;
    EXPECT_EQ(w.Files().size(), w.Exists("BACKUP/X.PDB") ? 1u : 0u) << "a temporary file left";
    return out;
}

const uint8_t* U(const std::string& s, size_t at) {
    return reinterpret_cast<const uint8_t*>(s.data() + at);
}

MemoryHandheld One(PalmDatabase db, bool rom = false) {
    MemoryHandheld h;
    (rom ? h.rom : h.ram).push_back(std::move(db));
    return h;
}

TEST(BackupFile, RecordDatabaseLaidOutByteForByte) {
    PalmDatabase db = MakeDb({.name = "Memos", .records = 2, .appInfo = true});
    db.records[1].attributes = 0x80 | 0x08 | 0x03;  // an archived record of category 3
    db.records[1].uniqueId = 0xABCDEF;
    const Written w = WriteOne(One(db));
    ASSERT_EQ(w.result, 0);
    const std::string& f = w.bytes;
    ASSERT_EQ(f.size(), 78u + 2 * 8 + 2 + 4 + 3 + 4);
    EXPECT_EQ(f.substr(0, 6), std::string("Memos\0", 6));
    EXPECT_EQ(f[31], 0);
    EXPECT_EQ(GetBE32(U(f, 36)), db.creationDate);
    EXPECT_EQ(GetBE32(U(f, 40)), db.modificationDate);
    EXPECT_EQ(GetBE32(U(f, 44)), 0u) << "no backup date stays none";
    EXPECT_EQ(GetBE32(U(f, 52)), 80u + 2 * 8) << "AppInfo right after the entries";
    EXPECT_EQ(GetBE32(U(f, 56)), 0u);
    EXPECT_EQ(f.substr(60, 8), "DATAKTst");
    EXPECT_EQ(GetBE16(U(f, 76)), 2);
    EXPECT_EQ(GetBE32(U(f, 78)), 80u + 4 + 16) << "first record after the AppInfo block";
    EXPECT_EQ(static_cast<uint8_t>(f[82]), 0x40) << "attributes and category 0";
    EXPECT_EQ(GetBE32(U(f, 86)), 80u + 4 + 16 + 3);
    EXPECT_EQ(static_cast<uint8_t>(f[90]), 0x83) << "archived kept as deleted, category 3";
    EXPECT_EQ(f.substr(91, 3), "\xAB\xCD\xEF");
    EXPECT_EQ(f.substr(94, 2), std::string(2, '\0'));
    EXPECT_EQ(f.substr(96, 4), "\x09\x08\x07\x01");
}

TEST(BackupFile, HeaderRules) {
    struct Row {
        const char* catches;
        DbShape shape;
        std::function<void(PalmDatabase&)> change;
        bool rom;
        std::function<void(const std::string&)> check;
    };
    const Row rows[] = {
        {"a record database without AppInfo: offset 0, records right after the entries",
         {.name = "Plain", .records = 3},
         nullptr,
         false,
         [](const std::string& f) {
             EXPECT_EQ(GetBE32(U(f, 52)), 0u);
             EXPECT_EQ(GetBE32(U(f, 78)), 80u + 3 * 8);
         }},
        {"a resource database of no resources is 80 bytes",
         {.name = "Nothing", .records = 0, .resource = true},
         nullptr,
         false,
         [](const std::string& f) {
             EXPECT_EQ(f.size(), 80u);
             EXPECT_EQ(GetBE16(U(f, 32)), 0x0001);
         }},
        {"resources: type, ID, offset; AppInfo offset 0",
         {.name = "App", .records = 2, .resource = true},
         nullptr,
         false,
         [](const std::string& f) {
             EXPECT_EQ(f.substr(78, 4), "tSTR");
             EXPECT_EQ(GetBE16(U(f, 82)), 1000);
             EXPECT_EQ(GetBE32(U(f, 84)), 80u + 20);
             EXPECT_EQ(GetBE32(U(f, 94)), 80u + 20 + 3);
             EXPECT_EQ(GetBE32(U(f, 52)), 0u);
         }},
        {"an unknown creation date becomes the run's time; other unknown dates stay 0",
         {.name = "Undated", .created = 0, .modified = 0},
         nullptr,
         false,
         [](const std::string& f) {
             EXPECT_EQ(GetBE32(U(f, 36)), kNow + k1904);
             EXPECT_EQ(GetBE32(U(f, 40)), 0u);
         }},
        {"a 32-character name fills the field without a NUL",
         {.name = std::string(32, 'N')},
         nullptr,
         false,
         [](const std::string& f) { EXPECT_EQ(f.substr(0, 33), std::string(32, 'N') + '\0'); }},
        {"flash ROM: read-only cleared; open always cleared",
         {.name = "Rom Db", .creator = "KRom"},
         [](PalmDatabase& db) { db.attributes = 0x8000 | 0x0002 | 0x0040; },
         true,
         [](const std::string& f) { EXPECT_EQ(GetBE16(U(f, 32)), 0x0040); }},
        {"RAM keeps read-only",
         {.name = "Ram Db"},
         [](PalmDatabase& db) { db.attributes = 0x0002; },
         false,
         [](const std::string& f) { EXPECT_EQ(GetBE16(U(f, 32)), 0x0002); }},
        {"Net Prefs and Graffiti ShortCuts may be installed over a newer copy",
         {.name = "Net Prefs"},
         nullptr,
         false,
         [](const std::string& f) { EXPECT_EQ(GetBE16(U(f, 32)), 0x0010); }},
        {"dwHM applications reset after install",
         {.name = "Hm", .resource = true, .type = "appl", .creator = "dwHM"},
         nullptr,
         false,
         [](const std::string& f) { EXPECT_EQ(GetBE16(U(f, 32)), 0x0021); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.catches);
        PalmDatabase db = MakeDb(r.shape);
        if (r.change) r.change(db);
        const Written w = WriteOne(One(db, r.rom), r.rom ? BackupKind::FlashRom : BackupKind::Ram);
        ASSERT_EQ(w.result, 0);
        ASSERT_GE(w.bytes.size(), 80u);
        r.check(w.bytes);
    }
}

// A disk that takes `room` bytes and then no more, as a full disk does.
class FillingFiles : public DesktopFiles {
public:
    FillingFiles(DesktopFiles& real, size_t room) : real_(real), room_(room) {}
    class Writer : public DesktopFileWriter {
    public:
        Writer(std::unique_ptr<DesktopFileWriter> real, size_t& room)
            : real_(std::move(real)), room_(room) {}
        int32_t Write(const uint8_t* data, size_t size) override {
            const size_t take = std::min(size, room_);
            room_ -= take;
            if (const int32_t error = real_->Write(data, take)) return error;
            return take == size ? 0 : 28;  // no space left
        }
        int32_t Close() override { return real_->Close(); }

    private:
        std::unique_ptr<DesktopFileWriter> real_;
        size_t& room_;
    };
    int32_t MakeDirectory(const std::string& p) override { return real_.MakeDirectory(p); }
    bool IsDirectory(const std::string& p) override { return real_.IsDirectory(p); }
    int32_t List(const std::string& p, std::vector<DesktopEntry>& e) override {
        return real_.List(p, e);
    }
    int32_t ReadHead(const std::string& p, size_t n, std::vector<uint8_t>& b) override {
        return real_.ReadHead(p, n, b);
    }
    int32_t ReadAll(const std::string& p, std::vector<uint8_t>& b) override {
        return real_.ReadAll(p, b);
    }
    std::unique_ptr<DesktopFileWriter> Create(const std::string& p, int32_t& error) override {
        auto writer = real_.Create(p, error);
        return writer ? std::make_unique<Writer>(std::move(writer), room_) : nullptr;
    }
    int32_t Copy(const std::string& a, const std::string& b) override { return real_.Copy(a, b); }
    int32_t Replace(const std::string& a, const std::string& b) override {
        return real_.Replace(a, b);
    }
    int32_t Delete(const std::string& p) override { return real_.Delete(p); }
    int32_t MakeWritable(const std::string& p) override { return real_.MakeWritable(p); }
    int32_t RemoveDirectory(const std::string& p) override { return real_.RemoveDirectory(p); }

private:
    DesktopFiles& real_;
    size_t room_;
};

TEST(BackupFile, PreviousBackupKeptWhenTheNewOneCannotBeMadeWhole) {
    const std::string previous = "the previous backup";
    auto withPrevious = [&](PassWorld& w) { w.Write("BACKUP/X.PDB", previous); };
    MemoryHandheld big = One(MakeDb({.name = "Big", .records = 40}));
    big.largestRecord = 64;

    // The disk fills up half-way through the file.
    auto real = MakeDesktopFiles();
    FillingFiles full(*real, 200);
    Written w = WriteOne(big, BackupKind::Ram, withPrevious, &full);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.bytes, previous);
    ASSERT_FALSE(w.log.empty());
    EXPECT_EQ(w.log.back().rfind("! WARNING: Unable to write local file: ", 0), 0u) << w.log.back();

    // A record that cannot be read: nothing is written at all.
    big.badRecordIn = "Big";
    big.badRecordIndex = 30;
    w = WriteOne(big, BackupKind::Ram, withPrevious);
    EXPECT_EQ(w.result, 0x4003);
    EXPECT_EQ(w.bytes, previous);

    // A folder where the file should go cannot take a file.
    w = WriteOne(One(MakeDb({.name = "Blocked"})), BackupKind::Ram, [](PassWorld& pw) {
        std::filesystem::create_directories(pw.Path("BACKUP/X.PDB.~sm"));
    });
    EXPECT_EQ(w.result, 1);
    ASSERT_FALSE(w.log.empty());
    EXPECT_EQ(w.log.back().rfind("! WARNING: Unable to open local file: ", 0), 0u) << w.log.back();
}

TEST(BackupFile, CopyStateComparesTheDatesTheEntryKnows) {
    PassWorld w;
    PalmDatabase db = MakeDb({.name = "Dated"});
    w.Write("BACKUP/Dated.PDB", db);
    MemorySyncManager sync(w.handheld);
    SyncCalls calls(sync, [](uint32_t) {});
    const std::string path = w.Path("BACKUP").string() + "\\Dated.PDB";
    DatabaseEntry entry = EntryOf(db, 0);
    EXPECT_EQ(CopyState(w.Desktop(), calls, path, entry), 0);
    entry.modificationDate += 1;
    EXPECT_EQ(CopyState(w.Desktop(), calls, path, entry), 2);
    entry.creationDate += 1;
    EXPECT_EQ(CopyState(w.Desktop(), calls, path, entry), 10);
    entry.creationDate = entry.modificationDate = 0;
    EXPECT_EQ(CopyState(w.Desktop(), calls, path, entry), 0) << "unknown dates are not compared";
    w.Write("BACKUP/Dated.PDB", std::string(77, 'x'));
    EXPECT_EQ(CopyState(w.Desktop(), calls, path, entry), 1) << "shorter than a header: none";
}

}  // namespace
