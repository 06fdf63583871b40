#include "sim/PalmDatabase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/DatabaseEntry.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A file laid out by hand, field by field, so that the writer is checked against the format
// rather than against itself.
struct Hand {
    Bytes bytes;
    Hand& Text(const std::string& text, size_t width) {
        for (size_t i = 0; i < width; ++i)
            bytes.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
        return *this;
    }
    Hand& U8(uint32_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Hand& U16(uint32_t v) { return U8(v >> 8).U8(v); }
    Hand& U24(uint32_t v) { return U8(v >> 16).U16(v); }
    Hand& U32(uint32_t v) { return U16(v >> 16).U16(v); }
    Hand& Raw(const Bytes& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
};

uint32_t Be32At(const Bytes& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// A record database with every header field set to a value of its own.
PalmDatabase Memos() {
    PalmDatabase database;
    database.SetName("Kestrel Memos");
    database.attributes = 0x0008;
    database.version = 0x0102;
    database.creationDate = 0xC0000001;
    database.modificationDate = 0xC0000002;
    database.backupDate = 0xC0000003;
    database.modificationNumber = 0x01020304;
    database.type = palmdb::FourCc("DATA");
    database.creator = palmdb::FourCc("memo");
    database.uniqueIdSeed = 0x00ABCDEF;
    database.appInfo = Bytes{0xA1, 0xA2, 0xA3};
    database.records = {{0x40 | 3, 0x000001, {'o', 'n', 'e'}},
                        {0x10 | 1, 0xFFFFFF, {}},
                        {0x80, 0x123456, {'t', 'h', 'r', 'e', 'e', '!'}}};
    return database;
}

PalmDatabase Application() {
    PalmDatabase database;
    database.SetName("Kestrel App");
    database.attributes = palmdb::kResourceDatabase;
    database.version = 3;
    database.type = palmdb::FourCc("appl");
    database.creator = palmdb::FourCc("KApp");
    database.resources = {{palmdb::FourCc("code"), 0, {0, 0, 0, 8}},
                          {palmdb::FourCc("code"), 1, {0x4E, 0x75}},
                          {palmdb::FourCc("tSTR"), 1000, {}}};
    return database;
}

Bytes Written(const PalmDatabase& database) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(WritePalmDatabase(database, bytes, error)) << error;
    return bytes;
}

TEST(HandheldDatabaseFile, RecordDatabaseIsLaidOutFieldByField) {
    const Bytes expected = Hand{}
                               .Text("Kestrel Memos", 32)
                               .U16(0x0008)
                               .U16(0x0102)
                               .U32(0xC0000001)
                               .U32(0xC0000002)
                               .U32(0xC0000003)
                               .U32(0x01020304)
                               .U32(80 + 3 * 8)  // AppInfo right after the list and the gap
                               .U32(0)
                               .Raw({'D', 'A', 'T', 'A', 'm', 'e', 'm', 'o'})
                               .U32(0x00ABCDEF)
                               .U32(0)
                               .U16(3)
                               .U32(104 + 3)
                               .U8(0x43)
                               .U24(0x000001)
                               .U32(107 + 3)
                               .U8(0x11)
                               .U24(0xFFFFFF)
                               .U32(110)  // an empty record starts where the next one does
                               .U8(0x80)
                               .U24(0x123456)
                               .U16(0)
                               .Raw({0xA1, 0xA2, 0xA3, 'o', 'n', 'e', 't', 'h', 'r', 'e', 'e', '!'})
                               .bytes;
    EXPECT_EQ(Written(Memos()), expected);
}

TEST(HandheldDatabaseFile, ResourceDatabaseIsLaidOutFieldByField) {
    const Bytes expected = Hand{}
                               .Text("Kestrel App", 32)
                               .U16(0x0001)
                               .U16(3)
                               .U32(0)
                               .U32(0)
                               .U32(0)
                               .U32(0)
                               .U32(0)  // no AppInfo
                               .U32(0)
                               .Raw({'a', 'p', 'p', 'l', 'K', 'A', 'p', 'p'})
                               .U32(0)
                               .U32(0)
                               .U16(3)
                               .Raw({'c', 'o', 'd', 'e'})
                               .U16(0)
                               .U32(80 + 30)
                               .Raw({'c', 'o', 'd', 'e'})
                               .U16(1)
                               .U32(114)
                               .Raw({'t', 'S', 'T', 'R'})
                               .U16(1000)
                               .U32(116)
                               .U16(0)
                               .Raw({0, 0, 0, 8, 0x4E, 0x75})
                               .bytes;
    EXPECT_EQ(Written(Application()), expected);
}

TEST(HandheldDatabaseFile, ReadAndWrittenAgainIsTheSameFile) {
    PalmDatabase noAppInfo = Memos();
    noAppInfo.appInfo.reset();
    PalmDatabase emptyAppInfo = Memos();
    emptyAppInfo.appInfo = Bytes{};
    PalmDatabase sorted = Memos();
    sorted.sortInfo = Bytes{0x51, 0x52};
    PalmDatabase appWithAppInfo = Application();
    appWithAppInfo.appInfo = Bytes{7, 7};
    PalmDatabase emptyApp = Application();
    emptyApp.resources.clear();
    PalmDatabase emptyRecords = Memos();
    emptyRecords.records.clear();
    emptyRecords.appInfo.reset();
    PalmDatabase fullName = Memos();
    fullName.SetName("A name of exactly thirty-two ch.");
    PalmDatabase oddGap = Memos();
    oddGap.gap = {0xDE, 0xAD, 0xBE};
    PalmDatabase noGap = Application();
    noGap.gap.clear();
    PalmDatabase linked = Memos();
    linked.nextRecordList = 77;
    PalmDatabase garbageAfterName = Memos();
    garbageAfterName.nameField[30] = 'x';  // after the NUL: kept, though no reader shows it

    const struct {
        const char* catches;
        PalmDatabase database;
        size_t notes;
    } rows[] = {
        {"a record database with AppInfo", Memos(), 0},
        {"without AppInfo: the offset 0 and the first record at 80 + 8 x count", noAppInfo, 0},
        {"an AppInfo block of no bytes is still there", emptyAppInfo, 0},
        {"a SortInfo block between AppInfo and the records", sorted, 0},
        {"a resource database", Application(), 0},
        {"a resource database with AppInfo", appWithAppInfo, 0},
        {"no resources: 80 bytes", emptyApp, 0},
        {"no records", emptyRecords, 0},
        {"a 32-byte name has no NUL", fullName, 1},
        {"a gap other than two zero bytes", oddGap, 1},
        {"no gap at all", noGap, 1},
        {"a further record list is kept", linked, 1},
        {"bytes after the name's NUL", garbageAfterName, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        const Bytes first = Written(row.database);
        PalmDatabase read;
        std::vector<std::string> notes;
        std::string error;
        ASSERT_TRUE(ReadPalmDatabase(first.data(), first.size(), read, error, &notes)) << error;
        EXPECT_EQ(Written(read), first);
        EXPECT_EQ(notes.size(), row.notes);
        EXPECT_EQ(read.Name(), row.database.Name());
        EXPECT_EQ(read.appInfo, row.database.appInfo);
        EXPECT_EQ(read.sortInfo, row.database.sortInfo);
        EXPECT_EQ(read.EntryCount(), row.database.EntryCount());
    }
    const Bytes emptyAppBytes = Written(emptyApp);
    EXPECT_EQ(emptyAppBytes.size(), 80u);
    EXPECT_EQ(Be32At(Written(noAppInfo), 52), 0u);
    EXPECT_EQ(Be32At(Written(noAppInfo), 78), 80u + 8 * 3);
}

TEST(HandheldDatabaseFile, DamagedFilesAreRefusedWithWhatIsWrong) {
    const Bytes good = Written(Memos());  // list 78..102, gap, AppInfo at 104, records 107..
    auto with = [&](size_t at, uint32_t value) {
        Bytes bytes = good;
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
        return bytes;
    };
    auto count = [&](uint16_t entries) {
        Bytes bytes = good;
        bytes[76] = static_cast<uint8_t>(entries >> 8);
        bytes[77] = static_cast<uint8_t>(entries);
        return bytes;
    };
    const struct {
        const char* catches;
        Bytes bytes;
        const char* says;
    } rows[] = {
        {"shorter than the header", Bytes(good.begin(), good.begin() + 77), "less than the 78"},
        {"nothing at all", Bytes{}, "holds 0 bytes"},
        {"more entries than the file has room for", count(2000), "do not fit"},
        {"the entry list cut short", Bytes(good.begin(), good.begin() + 90), "do not fit"},
        {"a record past the end of the file", with(78 + 8, 5000), "record 1 starts at 5000, past"},
        {"a record inside the entry list", with(78, 90), "record 0 starts at 90, inside"},
        {"records out of order", with(78 + 16, 107), "record 2 starts at 107, before record 1"},
        {"AppInfo past the end", with(52, 200), "AppInfo block starts at 200, past"},
        {"AppInfo after the first record", with(52, 108), "record 0 starts at 107, before"},
        {"AppInfo inside the header", with(52, 40), "AppInfo block starts at 40, inside"},
        {"SortInfo before AppInfo", with(56, 103), "AppInfo block at 104"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        PalmDatabase read = Memos();
        read.version = 99;
        std::string error;
        EXPECT_FALSE(ReadPalmDatabase(row.bytes.data(), row.bytes.size(), read, error));
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
        EXPECT_EQ(read.version, 99);  // a refused file changes nothing
    }
}

TEST(HandheldDatabaseFile, EveryCutOfAFileIsReadOrRefusedWithinItsBytes) {
    // Each prefix in a buffer of exactly its size, so a read past it is caught by the
    // sanitizer; a prefix that still holds a whole database (the last record shortened) may
    // be read.
    for (const PalmDatabase& database : {Memos(), Application()}) {
        const Bytes whole = Written(database);
        for (size_t size = 0; size < whole.size(); ++size) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
            PalmDatabase read;
            std::string error;
            if (ReadPalmDatabase(cut.data(), cut.size(), read, error))
                EXPECT_EQ(Written(read), cut) << size;
            else
                EXPECT_FALSE(error.empty()) << size;
        }
    }
}

TEST(HandheldDatabaseFile, WriterRefusesWhatTheFormatCannotHold) {
    PalmDatabase wideId = Memos();
    wideId.records[0].uniqueId = 0x1000000;
    PalmDatabase mixed = Application();
    mixed.records = {{0, 1, {}}};
    PalmDatabase mixedOtherWay = Memos();
    mixedOtherWay.resources = {{0, 1, {}}};
    PalmDatabase tooMany = Memos();
    tooMany.records.resize(65536);
    PalmDatabase tooBig = Application();
    tooBig.resources[0].data.resize(palmdb::kMostFileBytes);
    const struct {
        const char* catches;
        PalmDatabase database;
        const char* says;
    } rows[] = {
        {"a unique ID over 24 bits would lose its top", wideId, "24 bits"},
        {"records in a resource database would be dropped", mixed, "cannot hold records"},
        {"resources in a record database", mixedOtherWay, "cannot hold resources"},
        {"a count that wraps to 0", tooMany, "65535"},
        {"a file the reader would refuse", tooBig, "more than any handheld"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        Bytes out = {1, 2, 3};
        std::string error;
        EXPECT_FALSE(WritePalmDatabase(row.database, out, error));
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
        EXPECT_EQ(out, (Bytes{1, 2, 3}));
    }
    PalmDatabase named;
    EXPECT_FALSE(named.SetName(std::string(33, 'n')));
    EXPECT_FALSE(named.SetName(std::string("nul\0inside", 10)));
    EXPECT_TRUE(named.SetName(std::string(32, 'n')));
    EXPECT_EQ(named.Name(), std::string(32, 'n'));
}

TEST(HandheldDatabaseFile, FourCharacterCodes) {
    EXPECT_EQ(palmdb::FourCc("appl"), 0x6170706Cu);
    EXPECT_EQ(palmdb::FourCcText(0x6170706C), "appl");
    EXPECT_EQ(palmdb::FourCcText(0x41000A5C), "A\\x00\\x0A\\x5C");  // nothing unprintable as is
    uint32_t code = 0;
    EXPECT_TRUE(palmdb::ParseFourCc("KBlt", code));
    EXPECT_EQ(code, palmdb::FourCc("KBlt"));
    EXPECT_FALSE(palmdb::ParseFourCc("KBl", code));
}

TEST(HandheldDatabaseEntry, MadeFromTheFileInDesktopOrder) {
    PalmDatabase database = Application();
    database.attributes = palmdb::kResourceDatabase | palmdb::kReadOnly;
    database.creationDate = palmdb::kSeconds1904To1970 + 1000;
    database.modificationDate = 5;  // before 1970: no date the entry can count
    database.backupDate = 0;
    database.modificationNumber = 0x0A0B0C0D;
    const DatabaseEntry entry = EntryOf(database, 7, 0);
    EXPECT_EQ(entry.creationDate, 1000u);
    EXPECT_EQ(entry.modificationDate, 0u);
    EXPECT_EQ(entry.backupDate, 0u);
    EXPECT_EQ(entry.recordCount, 3u);

    const auto bytes = PackDatabaseEntry(entry);
    auto le32 = [&](size_t at) {
        return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
               uint32_t{bytes[at + 3]} << 24;
    };
    auto le16 = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    EXPECT_EQ(le32(0), 0u);
    EXPECT_EQ(le16(4), 0x0003);
    EXPECT_EQ(le32(6), 0x6170706Cu);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[10])), "Kestrel App");
    EXPECT_EQ(le32(42), palmdb::FourCc("KApp"));
    EXPECT_EQ(le16(46), 3);
    EXPECT_EQ(le32(48), 0x0A0B0C0Du);
    EXPECT_EQ(le16(52), 7);
    EXPECT_EQ(le32(54), 1000u);
    EXPECT_EQ(le32(58), 0u);
    EXPECT_EQ(le32(62), 0u);
    EXPECT_EQ(le32(66), 0u);
    EXPECT_EQ(le32(70), 3u);
    EXPECT_EQ(le32(74), 0u);

    // A 32-character name fills the field, as the file's header holds it, and reads back
    // whole: the conduit opens the database by it.
    DatabaseEntry full = entry;
    full.name = std::string(32, 'z');
    const auto packed = PackDatabaseEntry(full);
    EXPECT_EQ(packed[10 + 31], 'z');
    EXPECT_EQ(UnpackDatabaseEntry(packed.data()), full);
}

}  // namespace
