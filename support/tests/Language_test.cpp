#include "support/Language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Forms.h"
#include "support/ProgramFile.h"
#include "support/ResourceModule.h"
#include "support/Stringmgr.h"

namespace {

using Names = std::vector<std::string>;

TEST(Language, KeywordMapHoldsTheFourWords) {
    const auto& keywords = LanguageKeywords();
    EXPECT_EQ(keywords.size(), 4u);
    EXPECT_EQ(keywords.at("GERMAN"), 1031);
    EXPECT_EQ(keywords.at("ENGLISH"), 1033);
    EXPECT_EQ(keywords.at("FRENCH"), 1036);
    EXPECT_EQ(keywords.at("DEFAULT"), 0);
    EXPECT_EQ(&keywords, &LanguageKeywords());  // built once
}

TEST(Language, FirstLanguageWordOnTheCommandLineWins) {
    struct Case {
        Names parameters;
        int language;
    };
    const Case cases[] = {
        {{}, lang::Default},
        {{"french"}, lang::French},
        {{"DEFAULT", "GERMAN"}, lang::German},  // DEFAULT is 0 and does not stop the scan
        {{"-H", "D:\\images\\new.upd", "English"}, lang::English},
        {{"GERMAN", "FRENCH"}, lang::German},
        {{"GeRmAn"}, lang::German},
        {{"GERMANY", "Deutsch", "-M"}, lang::Default},
        {{"DEFAULT"}, lang::Default},
        {{""}, lang::Default},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& p : c.parameters) shown += "[" + p + "]";
        EXPECT_EQ(LanguageFromParameters(c.parameters), c.language) << shown;
    }
}

TEST(Language, ModuleNamesReplaceTheExtension) {
    struct Case {
        const char* program;
        const char* code;
        Names names;
    };
    const Case cases[] = {
        {"C:\\Kit\\Kestrelup.exe", "DEU", {"C:\\Kit\\Kestrelup.DEU", "C:\\Kit\\Kestrelup.DE"}},
        {"C:\\Kit\\Kestrelup.exe", "DE", {"C:\\Kit\\Kestrelup.DE"}},
        {"C:\\Kit\\Kestrelup.exe", "", {}},
        {"C:\\Kit\\Kestrelup", "DEU", {}},
        // A dot in a folder name is no extension of the program.
        {"C:\\Kit.2\\Kestrelup", "DEU", {}},
        {"/opt/kit.2/Kestrelup", "FRA", {}},
        {"C:\\Kit.2\\Kestrel.up.exe",
         "FRA",
         {"C:\\Kit.2\\Kestrel.up.FRA", "C:\\Kit.2\\Kestrel.up.FR"}},
        {"Kestrelup.", "ENU", {"Kestrelup.ENU", "Kestrelup.EN"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageModuleNames(c.program, c.code), c.names) << c.program << " " << c.code;
}

TEST(ProgramFile, NameCanBeStoodInFor) {
    const std::string real = ProgramFileName();
    ASSERT_FALSE(real.empty());
    EXPECT_NE(real.find("support_tests"), std::string::npos) << real;
    SetProgramFileName("C:\\Kit\\Kestrelup.exe");
    EXPECT_EQ(ProgramFileName(), "C:\\Kit\\Kestrelup.exe");
    SetProgramFileName("");
    EXPECT_EQ(ProgramFileName(), real);
}

TEST(ProgramFile, ParametersLeaveOutTheProgramName) {
    std::vector<std::string> expected = ::testing::internal::GetArgvs();
    ASSERT_FALSE(expected.empty());
    expected.erase(expected.begin());
    EXPECT_EQ(CommandLineParameters(), expected);
}

class CountingForm : public TReloadableForm {
public:
    void ReadFromResources() override { ++reads; }
    int reads = 0;
};

TEST(Language, WithoutAModuleTheProgramsOwnTextsStay) {
    SetProgramFileName("/nowhere/at/all/Kestrelup.exe");
    CountingForm form;
    for (const Names& parameters : {Names{}, Names{"GERMAN"}, Names{"french", "-H"}}) {
        SelectLanguage(parameters);
        EXPECT_EQ(ResourceModule(), ProgramResourceModule());
        EXPECT_STREQ(StringManager().GetString(1000), "SUCCESS");
    }
    EXPECT_EQ(LoadNewResourceModule(lang::German), nullptr);
    EXPECT_EQ(form.reads, 0);  // nothing new to read
    SetProgramFileName("");
}

}  // namespace
