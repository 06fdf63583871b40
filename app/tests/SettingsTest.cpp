#include "app/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;
const std::string kProgram = "C:\\Program Files\\Kestrel\\Kestrelup.exe";

TEST(Settings, CompanionFilesLieBesideTheProgram) {
    const win32_cfg_type cfg(kProgram, {});
    EXPECT_EQ(cfg.notifierPath, "C:\\Program Files\\Kestrel\\kvrnotify.dll");
    EXPECT_EQ(cfg.conduitPath, "C:\\Program Files\\Kestrel\\stashmate.dll");
    EXPECT_EQ(cfg.loaderPath, "C:\\Program Files\\Kestrel\\sys\\Bootlet.prc");
    EXPECT_FALSE(cfg.advancedMode);
    EXPECT_TRUE(cfg.updateFile.empty());
    EXPECT_FALSE(cfg.highSpeed);
    EXPECT_FALSE(cfg.directMode);
    EXPECT_TRUE(cfg.commandLineFile.empty());
}

TEST(Settings, ProgramDirectoryKeepsItsSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Kit\\Kestrelup.exe", "C:\\Kit\\"},
        {"/opt/kestrel/Kestrelup", "/opt/kestrel/"},
        {"C:\\Kit/sub\\Kestrelup.exe", "C:\\Kit/sub\\"},
        {"Kestrelup.exe", ""},
        {"", ""},
    };
    for (const auto& [program, directory] : cases)
        EXPECT_EQ(ProgramDirectory(program), directory) << program;

    const win32_cfg_type native("/opt/kestrel/Kestrelup", {});
    EXPECT_EQ(native.loaderPath, "/opt/kestrel/sys/Bootlet.prc");
    const win32_cfg_type bare("Kestrelup.exe", {});
    EXPECT_EQ(bare.notifierPath, "kvrnotify.dll");
    EXPECT_EQ(bare.loaderPath, "sys\\Bootlet.prc");
}

TEST(Settings, CommandLineSwitches) {
    struct Case {
        Args args;
        bool highSpeed, directMode, advancedMode;
        const char* file;
    };
    const Case cases[] = {
        {{"-H"}, true, false, false, ""},
        {{"-h"}, true, false, false, ""},
        {{"-m"}, false, true, true, ""},
        {{"-M", "-H"}, true, true, true, ""},
        {{"-HM"}, false, false, false, ""},  // neither switch
        {{"/H", "H", "-H "}, false, false, false, ""},
        {{"GERMAN", "default", "-x"}, false, false, false, ""},
        {{"D:\\images\\new.upd"}, false, false, false, "D:\\images\\new.upd"},
        {{"x.UPDATE"}, false, false, false, "x.UPDATE"},  // contains ".UPD"
        {{"first.upd", "-h", "Second.Upd"}, true, false, false, "Second.Upd"},
        {{"m500.UPD", "readme.txt"}, false, false, false, "m500.UPD"},
        {{"upd", ".up", "xupd"}, false, false, false, ""},
    };
    for (const Case& c : cases) {
        const win32_cfg_type cfg(kProgram, c.args);
        std::string shown;
        for (const auto& a : c.args) shown += "[" + a + "]";
        EXPECT_EQ(cfg.highSpeed, c.highSpeed) << shown;
        EXPECT_EQ(cfg.directMode, c.directMode) << shown;
        EXPECT_EQ(cfg.advancedMode, c.advancedMode) << shown;
        EXPECT_EQ(cfg.commandLineFile, c.file) << shown;
        EXPECT_TRUE(cfg.updateFile.empty()) << shown;
    }
}

}  // namespace
