#include "sim/HandheldState.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sim/Handheld.h"
#include "sim/tests/StateDirSnapshot.h"

namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        path_ =
            fs::temp_directory_path() /
            ("palmsim-state-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string Path() const { return path_.string(); }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

TEST(HandheldConfigText, RoundTripsEveryFieldAndKeepsKeysOfOtherTools) {
    HandheldConfig config;
    config.chips = {{0x01, 0x22D7}, {0xBF, 0x2782}};
    config.flashBase = 0;
    config.hardwareId = 4;
    config.battery = 7;
    config.loaderVersion = 31;
    config.loaderWord2 = 9;
    config.ramSize = 0x200000;
    config.mode = HandheldMode::Os;
    config.lineSpeed = 115200;
    config.user = "Jo Tester";
    config.osVersion = {4, 1};
    config.otherKeys = {{"owner", "sync-tool"}};
    HandheldConfig read;
    std::string error;
    ASSERT_TRUE(ReadConfigText(WriteConfigText(config), read, error)) << error;
    EXPECT_EQ(read.chips, config.chips);
    EXPECT_EQ(read.flashBase, 0u);
    EXPECT_EQ(read.hardwareId, 4);
    EXPECT_EQ(read.battery, 7);
    EXPECT_EQ(read.loaderVersion, 31);
    EXPECT_EQ(read.loaderWord2, 9);
    EXPECT_EQ(read.ramSize, 0x200000u);
    EXPECT_EQ(read.mode, HandheldMode::Os);
    EXPECT_EQ(read.lineSpeed, 115200u);
    EXPECT_EQ(read.user, "Jo Tester");
    EXPECT_EQ(read.osVersion, (OsVersion{4, 1}));
    EXPECT_EQ(read.otherKeys, config.otherKeys);

    HandheldConfig untouched;
    EXPECT_FALSE(ReadConfigText("hwid=4\nbattery=150\n", untouched, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_EQ(untouched.hardwareId, 10);  // nothing applied from a file that fails
    EXPECT_FALSE(ReadConfigText("mode=asleep\n", untouched, error));
    EXPECT_FALSE(ReadConfigText("chips\n", untouched, error));
    EXPECT_FALSE(ReadConfigText("os-version=3\n", untouched, error));
    EXPECT_FALSE(ReadConfigText("user= x\x01y\n", untouched, error));
    ASSERT_TRUE(ReadConfigText("# no HotSync keys\n", untouched, error));
    EXPECT_EQ(untouched.user, "");  // nobody's handheld, the usual OS
    EXPECT_EQ(untouched.osVersion, OsVersion{});
}

TEST(HandheldConfigText, WarnsOfEveryRepeatedKeyAndTakesTheLastValue) {
    const struct {
        const char* catches;
        const char* text;
        std::vector<std::string> warnings;
        uint16_t hardwareId;
    } rows[] = {
        {"a known key twice: the last line counts",
         "hwid=4\n# comment\nhwid=6\n",
         {"key 'hwid' on line 3 was given on line 1 already; the last one counts"},
         6},
        {"blanks around the key do not hide a repetition",
         "hwid=4\n  hwid = 7\nhwid=8\n",
         {"key 'hwid' on line 2 was given on line 1 already; the last one counts",
          "key 'hwid' on line 3 was given on line 1 already; the last one counts"},
         8},
        {"another tool's key twice: both lines are kept",
         "owner=a\nowner=b\n",
         {"key 'owner' on line 2 was given on line 1 already; both are kept"},
         10},
        {"keys differing in case are two keys", "hwid=4\nHWID=5\n", {}, 4},
        {"a key with a control character is named safely",
         "o\x1b[2Jx=1\no\x1b[2Jx=2\n",
         {"key 'o\\x1B[2Jx' on line 2 was given on line 1 already; both are kept"},
         10},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        HandheldConfig config;
        std::string error;
        std::vector<std::string> warnings;
        ASSERT_TRUE(ReadConfigText(row.text, config, error, &warnings)) << error;
        EXPECT_EQ(warnings, row.warnings);
        EXPECT_EQ(config.hardwareId, row.hardwareId);
    }
    // A line that cannot be read is quoted as one printable line, however it was made.
    HandheldConfig config;
    std::string error;
    EXPECT_FALSE(ReadConfigText("hwid=\x1b]0;owned\x07" + std::string(5000, 'x'), config, error));
    EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
    EXPECT_NE(error.find("hwid=\\x1B]0;owned\\x07xxx"), std::string::npos) << error;
    EXPECT_LT(error.size(), 300u);
}

TEST(HandheldConfigText, ParsesOptionValuesAndRefusesBadOnes) {
    uint64_t n = 0;
    EXPECT_TRUE(ParseNumber("0x10C00000", n) && n == 0x10C00000);
    EXPECT_TRUE(ParseNumber("2M", n) && n == 0x200000);
    EXPECT_TRUE(ParseNumber("64k", n) && n == 0x10000);
    for (const char* bad : {"", "0x", "12a", "-1", "0x1FFFFFFFF", "1G"})
        EXPECT_FALSE(ParseNumber(bad, n)) << bad;

    std::vector<ChipCode> chips;
    std::string error;
    EXPECT_TRUE(ParseChipList("0x89:0x8897, 1:0x2249", chips, error));
    EXPECT_EQ(chips, (std::vector<ChipCode>{{0x89, 0x8897}, {0x01, 0x2249}}));
    for (const char* bad : {"", "0x89", "0x89:", "0x89:0x8897,", "0x89:0x18897"})
        EXPECT_FALSE(ParseChipList(bad, chips, error)) << bad;

    FaultConfig faults;
    for (const char* good : {"corrupt=0.01", "drop-out=0.5", "stale", "stale=0.25", "delay=300",
                             "silent-loader", "hangup=12", "stuck-block=0x10000"})
        EXPECT_TRUE(ParseFault(good, faults, error)) << good;
    EXPECT_EQ(faults.corruptIn, 0.01);
    EXPECT_EQ(faults.corruptOut, 0.01);
    EXPECT_EQ(faults.dropIn, 0);
    EXPECT_EQ(faults.dropOut, 0.5);
    EXPECT_EQ(faults.staleReplies, 0.25);
    EXPECT_EQ(faults.delayMs, 300u);
    EXPECT_TRUE(faults.silentLoader);
    EXPECT_EQ(faults.hangUpAfterPackets, 12u);
    EXPECT_EQ(faults.stuckBlocks, std::vector<uint32_t>{0x10000});
    for (const char* bad :
         {"corrupt", "corrupt=1.5", "drop=x", "delay", "hangup=0", "silent-loader=1", "sneeze"})
        EXPECT_FALSE(ParseFault(bad, faults, error)) << bad;
}

TEST(HandheldConfigText, ValidationRefusesHandheldsThatCannotExist) {
    EXPECT_EQ(ValidateConfig(HandheldConfig{}), "");
    HandheldConfig config;
    config.chips.clear();
    EXPECT_NE(ValidateConfig(config), "");
    config = HandheldConfig{};
    config.hardwareId = 1;  // RAM at 0x10000000 would reach into flash at 0x10C00000
    config.ramSize = 16u << 20;
    EXPECT_NE(ValidateConfig(config), "");
    config = HandheldConfig{};
    config.chips.assign(24, ChipCode{0x89, 0x8891});
    EXPECT_NE(ValidateConfig(config), "");
    config = HandheldConfig{};
    config.faults.stuckBlocks = {0x400000};
    EXPECT_NE(ValidateConfig(config), "");
    config = HandheldConfig{};
    config.flashBase = 0xFFF00000;
    EXPECT_NE(ValidateConfig(config), "");
    // An unknown chip is allowed: the desktop has to cope with it.
    config = HandheldConfig{};
    config.chips = {{0x12, 0x3456}};
    EXPECT_EQ(ValidateConfig(config), "");
}

TEST(HandheldStateDir, SavedHandheldComesBackByteForByte) {
    TempDir dir;
    HandheldConfig config;
    config.hardwareId = 6;
    config.mode = HandheldMode::Loader;
    config.user = "Jo";
    config.otherKeys = {{"owner", "sync-tool"}};
    Handheld first{config};
    std::vector<uint8_t>& flash = first.Memory().Flash();
    for (size_t i = 0; i < flash.size(); i += 509) flash[i] = static_cast<uint8_t>(i >> 3);
    first.Memory().Ram()[0x40000] = 0x5A;
    std::string error;
    ASSERT_TRUE(SaveState(dir.Path(), first, error)) << error;
    EXPECT_EQ(fs::file_size(fs::path(dir.Path()) / "flash.bin"), 0x400000u);

    HandheldConfig loaded;
    std::vector<std::string> warnings;
    ASSERT_TRUE(LoadStateConfig(dir.Path(), loaded, warnings, error)) << error;
    EXPECT_EQ(loaded.hardwareId, 6);
    EXPECT_EQ(loaded.mode, HandheldMode::Loader);
    EXPECT_EQ(loaded.user, "Jo");
    EXPECT_EQ(loaded.otherKeys, config.otherKeys);
    Handheld second{loaded};
    ASSERT_TRUE(LoadStateMemory(dir.Path(), second, error)) << error;
    EXPECT_EQ(second.Memory().Flash(), first.Memory().Flash());
    EXPECT_EQ(second.Memory().Ram(), first.Memory().Ram());

    // A flash image of another size belongs to another handheld.
    HandheldConfig bigger = loaded;
    bigger.chips = {{0x89, 0x8899}};
    Handheld third{bigger};
    EXPECT_FALSE(LoadStateMemory(dir.Path(), third, error));
    EXPECT_NE(error.find("flash.bin"), std::string::npos);
}

TEST(HandheldStateDir, EmptyDirectoryLeavesTheDefaults) {
    TempDir dir;
    HandheldConfig config;
    std::string error;
    std::vector<std::string> warnings;
    EXPECT_TRUE(LoadStateConfig(dir.Path(), config, warnings, error));
    EXPECT_TRUE(warnings.empty());
    Handheld handheld{config};
    EXPECT_TRUE(LoadStateMemory(dir.Path(), handheld, error));
    EXPECT_EQ(handheld.Memory().Flash().front(), 0xFF);
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

using state_snapshot::ReadFile;
using state_snapshot::Snapshot;

// A handheld whose flash and RAM carry `mark`, so one saved state can be told from another.
Handheld Marked(uint8_t mark) {
    Handheld handheld{HandheldConfig{}};
    for (size_t i = 0; i < handheld.Memory().Flash().size(); i += 4093)
        handheld.Memory().Flash()[i] = mark;
    handheld.Memory().Ram()[7] = mark;
    return handheld;
}

TEST(HandheldStateDir, StatePathMustBeADirectoryOrMakeableOne) {
    TempDir temp;
    fs::create_directories(temp / "real");
    WriteFile(temp / "plain", "not a directory");
    fs::create_symlink(temp / "real", temp / "link-to-real");
    fs::create_symlink(temp / "gone", temp / "link-to-nothing");
    const struct {
        const char* catches;
        const char* path;
        bool accepted;
    } rows[] = {
        {"an existing directory", "real", true},
        {"a directory made at the first save", "new/deeper", true},
        {"a link to a directory", "link-to-real", true},
        {"a regular file where the directory should be: the save would fail", "plain", false},
        {"a link to nothing: its directory is out of reach", "link-to-nothing", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        HandheldConfig config;
        std::vector<std::string> warnings;
        std::string error;
        EXPECT_EQ(LoadStateConfig((temp / row.path).string(), config, warnings, error),
                  row.accepted)
            << error;
        if (!row.accepted) {
            EXPECT_NE(error.find(temp.Path()), std::string::npos) << error;
        }
    }
    EXPECT_EQ(ReadFile(temp / "plain"), "not a directory");
    EXPECT_FALSE(fs::exists(temp / "new"));  // made by the save, not by reading
}

TEST(HandheldStateDir, FailedSaveLeavesThePreviousStateWhole) {
    struct Row {
        const char* catches;
        std::function<void(const fs::path& dir)> sabotage;
    };
    const Row rows[] = {
        {"flash.bin turned into a directory is neither replaced nor removed",
         [](const fs::path& dir) {
             fs::rename(dir / "flash.bin", dir / "flash.old");
             fs::create_directories(dir / "flash.bin" / "inside");
         }},
        {"a file replaced before a later one fails: ram.bin is a directory",
         [](const fs::path& dir) {
             fs::remove(dir / "ram.bin");
             fs::create_directories(dir / "ram.bin" / "inside");
         }},
        {"a temporary that cannot be written: nothing may be replaced",
         [](const fs::path& dir) { fs::create_directories(dir / "flash.bin.tmp" / "inside"); }},
        {"the last temporary cannot be written: flash and RAM stay as they were",
         [](const fs::path& dir) { fs::create_directories(dir / "handheld.conf.tmp" / "inside"); }},
    };
    TempDir temp;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.catches);
        const fs::path dir = temp / "state";
        fs::remove_all(dir);
        std::string error;
        ASSERT_TRUE(SaveState(dir.string(), Marked(0x11), error)) << error;
        row.sabotage(dir);
        const auto before = Snapshot(dir);
        EXPECT_FALSE(SaveState(dir.string(), Marked(0x22), error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(Snapshot(dir), before);  // also: no temporary left behind
    }
}

TEST(HandheldStateDir, FailedSaveInAReadOnlyDirectoryKeepsTheOldFiles) {
    TempDir temp;
    const fs::path dir = temp / "state";
    std::string error;
    ASSERT_TRUE(SaveState(dir.string(), Marked(0x11), error)) << error;
    fs::permissions(dir, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (std::ofstream(dir / "probe")) {
        fs::remove(dir / "probe");
        GTEST_SKIP() << "permissions do not bind this user";
    }
    const auto before = Snapshot(dir);
    const bool saved = SaveState(dir.string(), Marked(0x22), error);
    fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);  // so it can go
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("flash.bin"), std::string::npos) << error;
    EXPECT_EQ(Snapshot(dir), before);
}

TEST(HandheldStateDir, ASaveGoesThroughALinkToTheFileItPointsAt) {
    const struct {
        const char* catches;
        // Makes state/flash.bin lead to `image`, from inside `temp`.
        std::function<void(const fs::path& temp)> link;
    } rows[] = {
        {"a link by absolute path",
         [](const fs::path& temp) {
             fs::create_symlink(temp / "disk" / "image", temp / "state" / "flash.bin");
         }},
        {"a link by relative path",
         [](const fs::path& temp) {
             fs::create_symlink("../disk/image", temp / "state" / "flash.bin");
         }},
        {"a link to a link",
         [](const fs::path& temp) {
             fs::create_symlink("image", temp / "disk" / "current");
             fs::create_symlink(temp / "disk" / "current", temp / "state" / "flash.bin");
         }},
    };
    TempDir temp;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        for (const char* dir : {"state", "disk"}) {
            fs::remove_all(temp / dir);
            fs::create_directories(temp / dir);
        }
        std::string error;
        ASSERT_TRUE(SaveState(temp.Path() + "/state", Marked(0x11), error)) << error;
        fs::rename(temp / "state" / "flash.bin", temp / "disk" / "image");
        row.link(fs::path(temp.Path()));

        ASSERT_TRUE(SaveState(temp.Path() + "/state", Marked(0x22), error)) << error;
        EXPECT_TRUE(fs::is_symlink(temp / "state" / "flash.bin"));
        Handheld loaded{HandheldConfig{}};
        ASSERT_TRUE(LoadStateMemory(temp.Path() + "/state", loaded, error)) << error;
        EXPECT_EQ(loaded.Memory().Flash(), Marked(0x22).Memory().Flash());
        for (const char* dir : {"state", "disk"})
            for (const auto& [name, kind] : Snapshot(temp / dir))
                EXPECT_FALSE(name.ends_with(".tmp")) << dir << "/" << name << " left behind";
    }

    // A link that leads nowhere is refused, as at start, and nothing is written.
    fs::remove(temp / "disk" / "image");
    const auto before = Snapshot(temp / "state");
    std::string error;
    EXPECT_FALSE(SaveState(temp.Path() + "/state", Marked(0x33), error));
    EXPECT_NE(error.find("flash.bin is a symbolic link to nothing"), std::string::npos) << error;
    EXPECT_EQ(Snapshot(temp / "state"), before);
    EXPECT_FALSE(fs::exists(temp / "disk" / "image"));
}

TEST(HandheldStateDir, SaveDoesNotWriteThroughALeftoverTemporary) {
    TempDir temp;
    const fs::path dir = temp / "state";
    fs::create_directories(dir);
    WriteFile(temp / "precious", "somebody else's file");
    fs::create_symlink(temp / "precious", dir / "flash.bin.tmp");
    std::string error;
    ASSERT_TRUE(SaveState(dir.string(), Marked(0x33), error)) << error;
    EXPECT_EQ(ReadFile(temp / "precious"), "somebody else's file");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "flash.bin.tmp")));
    EXPECT_EQ(fs::file_size(dir / "flash.bin"), 0x400000u);
}

}  // namespace
