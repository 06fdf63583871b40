#include "support/Language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/ResourceModuleEdge.h"
#include "base/StringTable.h"
#include "base/Stringmgr.h"
#include "support/Forms.h"
#include "support/ProgramFileEdge.h"
#include "support/tests/LanguageFakes.h"

namespace {

using Names = std::vector<std::string>;

// The resource module in force, and the program's own, as the wizard's texts and forms see them.
ResourceModuleEdge& Resources() {
    static const auto modules = MakeResourceModuleEdge();
    return *modules;
}

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

TEST(ProgramFile, TheRunningProgramAndItsParameters) {
    const auto program = MakeProgramFileEdge();
    EXPECT_NE(program->FileName().find("support_tests"), std::string::npos) << program->FileName();
    std::vector<std::string> expected = ::testing::internal::GetArgvs();
    ASSERT_FALSE(expected.empty());
    expected.erase(expected.begin());
    EXPECT_EQ(program->Parameters(), expected);
}

// Modules that exist only by name, each an empty string table (what a module is natively),
// and a record of which are held.
class FakeModules final : public LanguageEdge {
public:
    FakeModules(std::vector<std::string>& held, const std::vector<std::string>& present)
        : held_(held) {
        for (const std::string& name : present) modules_.push_back({name, {nullptr, 0}});
    }
    std::string LanguageCode(int id) override { return id == lang::German ? "DEU" : ""; }
    void* LoadDataModule(const std::string& fileName) override {
        for (Module& m : modules_)
            if (m.name == fileName) {
                held_.push_back(m.name);
                return &m.table;
            }
        return nullptr;
    }
    void FreeDataModule(void* module) override {
        for (Module& m : modules_)
            if (&m.table == module) {
                const auto it = std::find(held_.begin(), held_.end(), m.name);
                ASSERT_NE(it, held_.end()) << "freed a module not held: " << m.name;
                held_.erase(it);
            }
    }

private:
    struct Module {
        std::string name;
        TStringTable table;
    };
    std::vector<std::string>& held_;
    std::vector<Module> modules_;
};

TEST(Language, WithoutAModuleTheProgramsOwnTextsStay) {
    TLanguageSelector selector(std::make_unique<PosingProgram>("/nowhere/at/all/Kestrelup.exe"));
    CountingForm form;
    for (const Names& parameters : {Names{}, Names{"GERMAN"}, Names{"french", "-H"}}) {
        selector.SelectLanguage(parameters);
        EXPECT_EQ(Resources().Current(), Resources().Program());
        EXPECT_STREQ(StringManager().GetString(1000), "SUCCESS");
    }
    EXPECT_EQ(selector.LoadNewResourceModule(lang::German), nullptr);
    EXPECT_EQ(form.reads, 0);  // nothing new to read
}

TEST(Language, ModuleInForceUntilReleasedAndEachLoadReleasesTheLast) {
    std::vector<std::string> held;
    {
        TLanguageSelector selector(
            std::make_unique<PosingProgram>("C:\\Kit\\Kestrelup.exe"),
            std::make_unique<FakeModules>(held, Names{"C:\\Kit\\Kestrelup.DE"}));
        CountingForm form;
        selector.SelectLanguage(Names{"-h", "german"});
        EXPECT_EQ(held, Names{"C:\\Kit\\Kestrelup.DE"});  // the two-letter name served
        EXPECT_EQ(form.reads, 1);
        void* first = Resources().Current();
        EXPECT_NE(first, Resources().Program());
        EXPECT_NE(selector.LoadNewResourceModule(lang::German), nullptr);
        EXPECT_EQ(held.size(), 1u);  // the first load was given back
        EXPECT_EQ(selector.LoadNewResourceModule(lang::French), nullptr);
        EXPECT_EQ(Resources().Current(), first);  // a failed load changes nothing
        selector.ReleaseLanguageModule();
        EXPECT_TRUE(held.empty());
        EXPECT_EQ(Resources().Current(), Resources().Program());
        EXPECT_NE(selector.LoadNewResourceModule(lang::German), nullptr);
    }
    EXPECT_TRUE(held.empty());  // the selector gives its module back when it goes
    EXPECT_EQ(Resources().Current(), Resources().Program());
}

}  // namespace
