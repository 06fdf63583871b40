#include "image/UpdateFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Log.h"
#include "testing/TestUpdateFile.h"

namespace {

using testupd::Os;
using testupd::Ram;
using testupd::TempFile;
using testupd::Upd;

std::vector<uint8_t> FileWithMaps() {
    return Upd()
        .OsMap({{0x1234, 7, 0x2000, 0x10000}, {0xBEEF, 9, 0x10, 0x20000}})
        .RamMap(5, 1, {{8, 100, 0x1000}})
        .Sealed();
}

// Just the header: no sectors follow, so the CRC over them is 0.
std::vector<uint8_t> HeaderOnly() {
    std::vector<uint8_t> bytes = Upd().Sealed();
    bytes.resize(512);
    std::fill(bytes.begin() + 20, bytes.begin() + 26, 0);
    return bytes;
}

TResult Verify(const std::vector<uint8_t>& bytes) {
    TempFile file(bytes);
    return VerifyUpdateFile(file.Path());
}

struct VerifyCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> spoil;
    TResult expected;
};

TEST(VerifyUpdateFile, HeaderAndCrcChecks) {
    const VerifyCase cases[] = {
        {"valid", [](auto&) {}, rc::Success},
        {"16th signature byte not zero", [](auto& f) { f[15] = 'X'; }, rc::InvalidUpdateFile},
        {"other signature", [](auto& f) { f[1] = 'o'; }, rc::InvalidUpdateFile},
        {"major 2", [](auto& f) { f[17] = 2; }, rc::UpdateVersionError},
        {"major 0x0101", [](auto& f) { f[16] = 1; }, rc::UpdateVersionError},
        {"CRC off by one", [](auto& f) { f[21] ^= 1; }, rc::UpdateCrcError},
        {"covered byte changed", [](auto& f) { f[600] ^= 0x80; }, rc::UpdateCrcError},
        {"last covered sector cut short", [](auto& f) { f.pop_back(); }, rc::UpdateReadError},
        {"header cut short", [](auto& f) { f.resize(511); }, rc::UpdateReadError},
        {"empty file", [](auto& f) { f.clear(); }, rc::UpdateReadError},
        {"longer than needed", [](auto& f) { f.resize(f.size() + 700, 0xAA); }, rc::Success},
        {"sectors = 0 and CRC 0, header only", [](auto& f) { f = HeaderOnly(); }, rc::Success},
        {"sectors = 0 and CRC 1",
         [](auto& f) {
             std::fill(f.begin() + 20, f.begin() + 26, 0);
             f[21] = 1;
         },
         rc::UpdateCrcError},
        {"sector count past 2 GiB",
         [](auto& f) {
             f[22] = 0x7F;
             f[23] = f[24] = f[25] = 0xFF;
         },
         rc::UpdateReadError},
    };
    for (const VerifyCase& c : cases) {
        std::vector<uint8_t> bytes = FileWithMaps();
        c.spoil(bytes);
        EXPECT_EQ(Verify(bytes), c.expected) << c.name;
    }
}

TEST(VerifyUpdateFile, MissingFileIsAnOpenErrorWhileSizeQueriesGiveZero) {
    const std::string missing =
        (std::filesystem::temp_directory_path() / "kestrel-no-such-file.upd").string();
    EXPECT_EQ(VerifyUpdateFile(missing.c_str()), rc::UpdateOpenError);
    EXPECT_EQ(IMGDevice(missing.c_str()), 0);
    EXPECT_EQ(UpdateFileOsSize(missing.c_str()), 0u);
    EXPECT_EQ(UpdateFileRamSize(missing.c_str()), 0u);
}

TEST(IMGDevice, ReadsTheHeaderWithoutVerifying) {
    Upd upd;
    upd.U16(26, 0x0F06);
    std::vector<uint8_t> bytes = upd.Sealed();
    bytes[21] ^= 1;  // a bad CRC does not matter here
    TempFile file(bytes);
    EXPECT_EQ(IMGDevice(file.Path()), 0x0F06);
    TempFile shortFile(std::vector<uint8_t>(300));
    EXPECT_EQ(IMGDevice(shortFile.Path()), 0);
}

TEST(UpdateFile, ReadsMapsFieldByField) {
    TempFile tmp(FileWithMaps());
    TUpdateFile file;
    ASSERT_TRUE(file.Open(tmp.Path()));
    OsMap os;
    ASSERT_EQ(file.ReadOsMap(os), rc::Success);
    EXPECT_STREQ(os.sig, "KVR OS MAP");
    ASSERT_EQ(os.count, 2);
    EXPECT_EQ(os.sections[0].crc, 0x1234);
    EXPECT_EQ(os.sections[0].sector, 7u);
    EXPECT_EQ(os.sections[0].size, 0x2000u);
    EXPECT_EQ(os.sections[0].offset, 0x10000u);
    EXPECT_EQ(os.sections[1].crc, 0xBEEF);
    RamMap ram;
    ASSERT_EQ(file.ReadRamMap(ram), rc::Success);
    ASSERT_EQ(ram.count, 1);
    EXPECT_EQ(ram.sections[0].sector, 8u);
    EXPECT_EQ(ram.sections[0].size, 100u);
    EXPECT_EQ(ram.sections[0].address, 0x1000u);
}

TEST(UpdateFile, AbsentMapsReadAsEmpty) {
    TempFile tmp(Upd().Sealed());
    TUpdateFile file;
    ASSERT_TRUE(file.Open(tmp.Path()));
    OsMap os;
    RamMap ram;
    EXPECT_EQ(file.ReadOsMap(os), rc::Success);
    EXPECT_EQ(os.count, 0);
    EXPECT_EQ(file.ReadRamMap(ram), rc::Success);
    EXPECT_EQ(ram.count, 0);
    EXPECT_EQ(UpdateFileOsSize(tmp.Path()), 0u);
    EXPECT_EQ(UpdateFileRamSize(tmp.Path()), 0u);
}

TEST(UpdateFile, MapFailures) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        TResult os, ram;
    };
    auto osMapOf = [](uint32_t sectors) { return Upd().OsMap({}, sectors).Sealed(); };
    auto withOsCount = [](unsigned count) {
        Upd upd;
        upd.OsMap({});
        upd.U16(1024 + 16, count);
        return upd.Sealed();
    };
    auto withRamCount = [](uint32_t sectors, unsigned count) {
        Upd upd;
        upd.RamMap(1, sectors, {});
        upd.U16(1024 + 16, count);
        return upd.Sealed();
    };
    std::vector<uint8_t> badMapSig = Upd().Sealed();
    badMapSig[512 + 15] = '!';
    badMapSig = [&] {
        Upd upd;
        upd.bytes = badMapSig;
        return upd.Sealed();
    }();
    std::vector<uint8_t> badCrc = FileWithMaps();
    badCrc[20] ^= 0x40;
    std::vector<uint8_t> hugeRamMap = [] {
        Upd upd;
        upd.RamMap(1, 1, {{0, 1, 0}});
        upd.U32(512 + 70, 0xFFFFFFFF);
        return upd.Sealed();
    }();

    const Case cases[] = {
        {"OS map of 1 sector", osMapOf(1), rc::InvalidUpdateFile, rc::Success},
        {"OS map of 2 sectors", osMapOf(2), rc::InvalidUpdateFile, rc::Success},
        {"OS map of 3 sectors", osMapOf(3), rc::InvalidUpdateFile, rc::Success},
        {"OS map of 5 sectors", osMapOf(5), rc::InvalidUpdateFile, rc::Success},
        {"100 OS sections", withOsCount(100), rc::Success, rc::Success},
        {"101 OS sections", withOsCount(101), rc::InvalidUpdateFile, rc::Success},
        {"0xFFFF OS sections", withOsCount(0xFFFF), rc::InvalidUpdateFile, rc::Success},
        {"500 RAM sections in 12 sectors", withRamCount(12, 500), rc::Success, rc::Success},
        {"500 RAM sections in 20 sectors", withRamCount(20, 500), rc::Success, rc::Success},
        {"501 RAM sections", withRamCount(12, 501), rc::Success, rc::InvalidUpdateFile},
        // 11 sectors are 5632 bytes: 467 sections fit, 468 need 5634.
        {"467 RAM sections in 11 sectors", withRamCount(11, 467), rc::Success, rc::Success},
        {"468 RAM sections in 11 sectors", withRamCount(11, 468), rc::Success,
         rc::InvalidUpdateFile},
        {"42 RAM sections in 1 sector", withRamCount(1, 42), rc::Success, rc::InvalidUpdateFile},
        {"RAM map of 2^32-1 sectors", hugeRamMap, rc::Success, rc::UpdateReadError},
        {"update map signature", badMapSig, rc::InvalidUpdateFile, rc::InvalidUpdateFile},
        {"header CRC", badCrc, rc::UpdateCrcError, rc::UpdateCrcError},
        {"no update map sector", HeaderOnly(), rc::UpdateReadError, rc::UpdateReadError},
    };
    for (const Case& c : cases) {
        TempFile tmp(c.bytes);
        TUpdateFile file;
        ASSERT_TRUE(file.Open(tmp.Path()));
        OsMap os;
        RamMap ram;
        EXPECT_EQ(file.ReadOsMap(os), c.os) << c.name;
        EXPECT_EQ(file.ReadRamMap(ram), c.ram) << c.name;
        if (c.os != rc::Success) {
            EXPECT_EQ(os.count, 0) << c.name;
        }
        if (c.ram != rc::Success) {
            EXPECT_EQ(ram.count, 0) << c.name;
        }
    }
}

TEST(UpdateFileSizes, OsSizeIsTheHighestEndAndBothSaturate) {
    struct Case {
        const char* name;
        std::vector<Os> os;
        std::vector<Ram> ram;
        uint32_t osSize, ramSize;
    };
    const Case cases[] = {
        {"max end, not sum", {{0, 0, 0x10000, 0}, {0, 0, 0x1000, 0x8000}}, {}, 0x10000, 0},
        {"order does not matter", {{0, 0, 0x100, 0x30000}, {0, 0, 0x20000, 0}}, {}, 0x30100, 0},
        {"OS end past 4 GiB", {{0, 0, 0x2000, 0xFFFFF000}, {0, 0, 1, 0}}, {}, 0xFFFFFFFF, 0},
        {"RAM sum", {}, {{0, 100, 0}, {0, 0x1000, 0}}, 0, 0x1064},
        {"RAM sum past 4 GiB", {}, {{0, 0xFFFFFFF0, 0}, {0, 0x20, 0}, {0, 1, 0}}, 0, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        Upd upd;
        if (!c.os.empty()) upd.OsMap(c.os);
        if (!c.ram.empty()) upd.RamMap(5, 1, c.ram);
        TempFile tmp(upd.Sealed());
        EXPECT_EQ(UpdateFileOsSize(tmp.Path()), c.osSize) << c.name;
        EXPECT_EQ(UpdateFileRamSize(tmp.Path()), c.ramSize) << c.name;
    }
    std::vector<uint8_t> badCrc = FileWithMaps();
    badCrc[20] ^= 1;
    TempFile tmp(badCrc);
    EXPECT_EQ(UpdateFileOsSize(tmp.Path()), 0u);
    EXPECT_EQ(UpdateFileRamSize(tmp.Path()), 0u);
}

TEST(UpdateFile, ExtractsRelativeSectorsIntoConsecutiveSlots) {
    Upd upd;
    for (unsigned s = 1; s <= 6; ++s) upd.U16(512 * s + 100, 0xA000 + s);
    TempFile tmp(upd.Sealed());
    TUpdateFile file;
    ASSERT_TRUE(file.Open(tmp.Path()));
    std::vector<uint8_t> buffer(3 * 512 + 1, 0x55);
    ASSERT_EQ(file.ExtractSectors(2, 3, buffer), rc::Success);
    for (unsigned i = 0; i < 3; ++i) {  // relative 2 is absolute 3
        EXPECT_EQ(buffer[512 * i + 100], 0xA0);
        EXPECT_EQ(buffer[512 * i + 101], 3 + i);
    }
    EXPECT_EQ(buffer.back(), 0x55);
    EXPECT_EQ(file.ExtractSectors(2, 3, std::span(buffer).first(3 * 512 - 1)),
              rc::UpdateOutOfMemory);
    EXPECT_EQ(file.ExtractSectors(5, 2, buffer), rc::UpdateReadError);  // past the end
    // The offset is 32-bit: absolute 0x400000 is 2 GiB, a negative offset; absolute
    // 0x800002 wraps around to absolute 2.
    EXPECT_EQ(file.ExtractSectors(0x3FFFFF, 1, buffer), rc::UpdateReadError);
    ASSERT_EQ(file.ExtractSectors(0x800001, 1, buffer), rc::Success);
    EXPECT_EQ(buffer[101], 2);
}

TEST(UpdateFile, FinalisationFollowsMinorVersionAndFlagAtOffset574) {
    struct Case {
        uint16_t minor, flag;
        bool finalise;
    };
    const Case cases[] = {{0, 1, false}, {2, 1, false}, {3, 0, true},     {4, 0, false},
                          {4, 1, true},  {5, 0, false}, {5, 0x100, true}, {0xFFFF, 2, true}};
    for (const Case& c : cases) {
        Upd upd;
        upd.U16(18, c.minor);
        upd.U16(574, c.flag);
        TempFile tmp(upd.Sealed());
        TUpdateFile file;
        ASSERT_TRUE(file.Open(tmp.Path()));
        bool finalise = !c.finalise;
        EXPECT_EQ(file.ReadFinalisation(finalise), rc::Success);
        EXPECT_EQ(finalise, c.finalise) << "minor " << c.minor << " flag " << c.flag;
        EXPECT_EQ(FinalisesFlashStore(c.minor, c.flag), c.finalise);
    }
    // Minor 4 needs the flag, so a file that ends before it is a read error.
    Upd upd;
    upd.U16(18, 4);
    std::vector<uint8_t> bytes = upd.Sealed();
    bytes.resize(575);
    TempFile tmp(bytes);
    TUpdateFile file;
    ASSERT_TRUE(file.Open(tmp.Path()));
    bool finalise = true;
    EXPECT_EQ(file.ReadFinalisation(finalise), rc::UpdateReadError);
    EXPECT_FALSE(finalise);
}

TEST(UpdateFile, ClosedFileReportsReadErrors) {
    TUpdateFile file;
    uint8_t sector[512];
    UpdateMap map;
    uint16_t flag;
    EXPECT_EQ(file.ReadSector(0, sector), rc::UpdateReadError);
    EXPECT_EQ(file.ReadUpdateMap(map), rc::UpdateReadError);
    EXPECT_EQ(file.ReadFinaliseFlag(flag), rc::UpdateReadError);
}

class LogLines : public ::testing::Test {
protected:
    void TearDown() override { SetLogThreshold(-1); }

    // The last line narrated by `run` with the log at `threshold`.
    static std::string LastLine(int threshold, const std::function<void()>& run) {
        SetLogThreshold(9);
        PrintMessage(0, "-");
        SetLogThreshold(threshold);
        run();
        SetLogThreshold(-1);
        return LastLogLine();
    }
};

TEST_F(LogLines, LevelsOfTheNarration) {
    TempFile good(FileWithMaps());
    std::vector<uint8_t> bytes = FileWithMaps();
    bytes[14] = '!';  // the text is still terminated, so it can be logged as it is
    TempFile badSig(bytes);
    bytes = FileWithMaps();
    bytes.resize(bytes.size() - 512);
    TempFile truncated(bytes);
    const std::string header = "Desktop header: sig >OS UPDATE FIL!, version 1.3 sectors: 6\n";

    EXPECT_EQ(LastLine(2, [&] { (void)VerifyUpdateFile(good.Path()); }),
              "\nOS Update File valid\n");
    EXPECT_EQ(LastLine(1, [&] { (void)VerifyUpdateFile(good.Path()); }), "-");
    EXPECT_EQ(LastLine(8, [&] { (void)VerifyUpdateFile(badSig.Path()); }), header);
    EXPECT_EQ(LastLine(7, [&] { (void)VerifyUpdateFile(badSig.Path()); }), "-");
    EXPECT_EQ(LastLine(5, [&] { UpdateFileOsSize(badSig.Path()); }), header);
    EXPECT_EQ(LastLine(0, [&] { UpdateFileOsSize(truncated.Path()); }), "err: read sector");
    EXPECT_EQ(LastLine(9, [&] { (void)VerifyUpdateFile(truncated.Path()); }),
              "Desktop header: sig >OS UPDATE FILE, version 1.3 sectors: 6\n");
    EXPECT_EQ(LastLine(0, [&] { UpdateFileRamSize(good.Path()); }),
              std::string("Open file (ram size) ") + good.Path());
    EXPECT_EQ(LastLine(3, [&] { IMGDevice(good.Path()); }), "IMGDevice()\n");
    EXPECT_EQ(LastLine(5, [&] { UpdateFileOsSize(good.Path()); }), "OS map read\n");
    EXPECT_EQ(LastLine(5, [&] { UpdateFileRamSize(good.Path()); }), "RAM map read\n");
    EXPECT_EQ(LastLine(7,
                       [&] {
                           TUpdateFile file;
                           UpdateMap map;
                           file.Open(good.Path());
                           (void)file.ReadUpdateMap(map);
                       }),
              "Update Map Read\n");
}

}  // namespace
