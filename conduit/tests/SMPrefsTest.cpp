#include "conduit/SMPrefs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "conduit/DesktopFiles.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Expected archives are laid out here by hand, so the writer is checked against the format
// rather than against itself.
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes Chars(size_t n, char c) { return Bytes(n, uint8_t(c)); }
Bytes Header(uint16_t schema) {
    return Bytes{0xFF, 0xFF, uint8_t(schema), uint8_t(schema >> 8), 8, 0} +
           Bytes{'C', 'S', 'M', 'P', 'r', 'e', 'f', 's'};
}
Bytes Part(const Bytes& b, size_t from, size_t to) {
    return Bytes(b.begin() + from, b.begin() + to);
}

const Bytes kDefaults = Header(0x0102) + Le32(1) + Le32(0) + Bytes{0, 0} + Bytes(28, 0) +
                        Bytes{0, 0} + Bytes(8, 0) + Bytes{0, 0} + Bytes(16, 0) + Le32(1) +
                        Le32(604800) + Le32(10) + Bytes(8, 0) + Bytes{0, 0, 0, 0};
constexpr size_t kListAAt = 22, kRow7At = 36, kRow15At = 64, kProxyHostAt = 100;

// Every row away from its default, with long strings and lists.
CSMPrefs Full() {
    CSMPrefs p;
    p.wordA = 0x01020304, p.wordB = 0xFFFFFFFF, p.listA = {"", "x", std::string(300, 'y')};
    p.removeDuplicates = 1, p.optionC = 2, p.expansionCard = 3, p.excludeAvantGo = 4;
    p.optionD = 5, p.optionE = 6, p.optionF = 7, p.listB = {"b"}, p.valueG = 8, p.valueH = 9;
    p.listC = {std::string(255, 'c')}, p.virusScanning = 10, p.quarantineInfected = 11;
    p.removeInfected = 12, p.valueI = 13, p.autoUpdate = 14, p.updateInterval = 15;
    p.lastUpdate = 16, p.useProxy = 17, p.valueJ = 18, p.proxyHost = "proxy.example";
    p.textK = std::string(256, 'k'), p.proxyPort = "8080", p.textL = "L";
    return p;
}
// Full()'s rows as they are archived: rows 1-6, 7-14, 15-27.
const Bytes kFullRows6 = Le32(0x01020304) + Le32(0xFFFFFFFF) +
                         Bytes{3, 0, 0, 1, 'x', 0xFF, 0x2C, 1} + Chars(300, 'y') + Le32(1) +
                         Le32(2) + Le32(3);
const Bytes kFullRows14 = kFullRows6 + Le32(4) + Le32(5) + Le32(6) + Le32(7) + Bytes{1, 0, 1, 'b'} +
                          Le32(8) + Le32(9) + Bytes{1, 0, 0xFF, 0xFF, 0} + Chars(255, 'c');
const Bytes kFullRows27 = kFullRows14 + Le32(10) + Le32(11) + Le32(12) + Le32(13) + Le32(14) +
                          Le32(15) + Le32(16) + Le32(17) + Le32(18) + Bytes{13} +
                          Bytes{'p', 'r', 'o', 'x', 'y', '.', 'e', 'x', 'a', 'm', 'p', 'l', 'e'} +
                          Bytes{0xFF, 0, 1} + Chars(256, 'k') +
                          Bytes{4, '8', '0', '8', '0', 1, 'L'};

CSMPrefs Read(const Bytes& bytes) {
    CSMPrefs prefs = Full();
    std::string error;
    EXPECT_TRUE(ReadSMPrefs(bytes.data(), bytes.size(), prefs, error)) << error;
    return prefs;
}

TEST(SMPrefs, WritesTheArchiveByteForByteAndReadsItBack) {
    EXPECT_EQ(WriteSMPrefs(CSMPrefs{}), kDefaults);
    EXPECT_EQ(Read(kDefaults), CSMPrefs{});
    EXPECT_EQ(WriteSMPrefs(Full()), Header(0x0102) + kFullRows27);
    EXPECT_EQ(Read(WriteSMPrefs(Full())), Full());
    // A tail after a whole object does not make it unreadable.
    EXPECT_EQ(Read(kDefaults + Bytes{0xAB, 0xCD}), CSMPrefs{});
}

TEST(SMPrefs, LengthAndCountFormsAtTheirLimits) {
    const struct {
        size_t n;
        Bytes prefix;
    } strings[] = {{0, {0}},
                   {254, {0xFE}},
                   {255, {0xFF, 0xFF, 0}},
                   {65534, {0xFF, 0xFE, 0xFF}},
                   {65535, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
                   {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 1, 0}}},
      lists[] = {{1, {1, 0}},
                 {65534, {0xFE, 0xFF}},
                 {65535, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
                 {70000, {0xFF, 0xFF, 0x70, 0x11, 1, 0}}};
    for (const auto& c : strings) {
        CSMPrefs prefs;
        prefs.proxyHost.assign(c.n, 'h');
        const Bytes expected =
            Part(kDefaults, 0, kProxyHostAt) + c.prefix + Chars(c.n, 'h') + Bytes{0, 0, 0};
        EXPECT_EQ(WriteSMPrefs(prefs), expected) << "string of " << c.n;
        EXPECT_EQ(Read(expected), prefs) << "string of " << c.n;
    }
    for (const auto& c : lists) {
        CSMPrefs prefs;
        prefs.listA.assign(c.n, "a");
        Bytes items;
        for (size_t i = 0; i < c.n; ++i) items.insert(items.end(), {1, 'a'});
        const Bytes expected = Part(kDefaults, 0, kListAAt) + c.prefix + items +
                               Part(kDefaults, kListAAt + 2, kDefaults.size());
        EXPECT_EQ(WriteSMPrefs(prefs), expected) << "list of " << c.n;
        EXPECT_EQ(Read(expected), prefs) << "list of " << c.n;
    }
}

TEST(SMPrefs, OlderSchemasLeaveTheRowsTheyLackAtTheirDefaults) {
    // Written back, the rows a file held come out as they went in, the others as defaults.
    EXPECT_EQ(WriteSMPrefs(Read(Header(0x0100) + kFullRows6)),
              Header(0x0102) + kFullRows6 + Part(kDefaults, kRow7At, kDefaults.size()));
    EXPECT_EQ(WriteSMPrefs(Read(Header(0x0101) + kFullRows14)),
              Header(0x0102) + kFullRows14 + Part(kDefaults, kRow15At, kDefaults.size()));
}

TEST(SMPrefs, RefusesWhatIsNoArchiveAndKeepsThePrefs) {
    const Bytes full = Header(0x0102) + kFullRows27;
    std::vector<std::pair<std::string, Bytes>> cases = {
        {"class reference tag", Bytes{0x01, 0x80} + Part(full, 2, full.size())},
        {"another class", Part(full, 0, 13) + Bytes{'x'} + Part(full, 14, full.size())},
        {"longer class name",
         Bytes{0xFF, 0xFF, 2, 1, 9, 0} + Part(full, 6, 14) + Bytes{'X'} + kFullRows27},
        {"class name past the end", Bytes{0xFF, 0xFF, 2, 1, 0xFF, 0xFF, 'C'}},
        {"schema 0x0103", Header(0x0103) + kFullRows27},
        {"schema 0x00FF", Header(0x00FF) + kFullRows27},
        {"absurd list count", Part(kDefaults, 0, kListAAt) +
                                  Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF} +
                                  Part(kDefaults, kListAAt + 2, kDefaults.size())},
        {"absurd string length",
         Part(kDefaults, 0, kProxyHostAt) + Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (size_t n = 0; n < full.size(); ++n)
        cases.emplace_back("cut at " + std::to_string(n), Part(full, 0, n));
    for (const auto& [what, bytes] : cases) {
        CSMPrefs prefs = Full();
        prefs.textL = "untouched";
        const CSMPrefs before = prefs;
        std::string error;
        EXPECT_FALSE(ReadSMPrefs(bytes.data(), bytes.size(), prefs, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_EQ(prefs, before) << what;
    }
}

class SMPrefsFile : public ::testing::Test {
protected:
    SMPrefsFile()
        : dir_(fs::temp_directory_path() /
               ("kestrel-smprefs-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~SMPrefsFile() override { fs::remove_all(dir_); }

    Bytes FileBytes() const {
        std::ifstream in(dir_ / "SM2.prf", std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    SMPrefsLoad Load(CSMPrefs& prefs, std::string& error) {
        return LoadSMPrefs(*files_, dir_.string(), prefs, error);
    }

    fs::path dir_;
    std::unique_ptr<DesktopFiles> files_ = MakeDesktopFiles();
};

TEST_F(SMPrefsFile, MissingOrUnreadableGivesTheDefaultsAndLeavesTheFile) {
    CSMPrefs prefs = Full();
    std::string error;
    EXPECT_EQ(Load(prefs, error), SMPrefsLoad::Missing);
    EXPECT_EQ(prefs, CSMPrefs{});

    const Bytes foreign = Header(0x0200) + kFullRows27;
    std::ofstream(dir_ / "SM2.prf", std::ios::binary)
        .write(reinterpret_cast<const char*>(foreign.data()), std::streamsize(foreign.size()));
    prefs = Full();
    EXPECT_EQ(Load(prefs, error), SMPrefsLoad::Unreadable);
    EXPECT_EQ(prefs, CSMPrefs{});
    EXPECT_NE(error.find("0x0200"), std::string::npos) << error;
    EXPECT_EQ(FileBytes(), foreign);
}

TEST_F(SMPrefsFile, SavesWholeAndReplacesThePreviousFile) {
    EXPECT_EQ(SaveSMPrefs(*files_, dir_.string() + "\\", CSMPrefs{}), 0);
    EXPECT_EQ(SaveSMPrefs(*files_, dir_.string(), Full()), 0);
    EXPECT_EQ(FileBytes(), WriteSMPrefs(Full()));
    EXPECT_FALSE(fs::exists(dir_ / "SM2.prf.tmp"));
    CSMPrefs prefs;
    std::string error;
    EXPECT_EQ(LoadSMPrefs(*files_, dir_.string() + "\\", prefs, error), SMPrefsLoad::Loaded);
    EXPECT_EQ(prefs, Full());
}

TEST_F(SMPrefsFile, AFailedSaveKeepsThePreviousFile) {
    ASSERT_EQ(SaveSMPrefs(*files_, dir_.string(), CSMPrefs{}), 0);
    const fs::path temporary = dir_ / "SM2.prf.tmp";
    if (fs::exists("/dev/full")) {  // a disk that takes no byte
        fs::create_symlink("/dev/full", temporary);
        EXPECT_EQ(SaveSMPrefs(*files_, dir_.string(), Full()), 1);
        ASSERT_FALSE(fs::is_symlink(dir_ / "SM2.prf"));
        EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
    }
    fs::create_directory(temporary);  // cannot be created
    EXPECT_EQ(SaveSMPrefs(*files_, dir_.string(), Full()), 1);
    EXPECT_EQ(FileBytes(), kDefaults);
    EXPECT_EQ(SaveSMPrefs(*files_, (dir_ / "nowhere").string(), Full()), 1);
}

}  // namespace
