#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/lang/tests/TranslationRows.h"
#include "base/ResourceModuleEdge.h"
#include "base/ResultCodes.h"
#include "base/Stringmgr.h"
#include "support/Forms.h"
#include "support/Language.h"
#include "support/ProgramFileEdge.h"
#include "support/tests/LanguageFakes.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The resource module in force, and the program's own, as the wizard's texts and forms see them.
ResourceModuleEdge& Resources() {
    static const auto modules = MakeResourceModuleEdge();
    return *modules;
}

// The German table as LoadStringA hands it out in a Western code page; false when a
// character has no place there.
bool ToWindows1252(const std::string& utf8, std::string& out) {
    out.clear();
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const unsigned code =
                ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
            if (code < 0xA0 || code > 0xFF) return false;
            out += static_cast<char>(code);
        } else {
            return false;
        }
    }
    return true;
}

// Whether a module handle still maps its file (a data-file handle is the mapping's base
// address with low flag bits).
bool Mapped(void* module) {
    MEMORY_BASIC_INFORMATION info{};
    const auto base = reinterpret_cast<uintptr_t>(module) & ~uintptr_t{3};
    if (VirtualQuery(reinterpret_cast<void*>(base), &info, sizeof info) == 0) return false;
    return info.State != MEM_FREE;
}

// A folder posing as the wizard's: Kestrelup.exe (only its name is needed) and whichever
// modules a test puts beside it.
class LanguageModule : public ::testing::Test {
protected:
    void SetUp() override {
        built_ = fs::path(MakeProgramFileEdge()->FileName()).parent_path();
        for (const char* module : {KESTREL_GERMAN_MODULE, KESTREL_FRENCH_MODULE})
            ASSERT_TRUE(fs::exists(built_ / module)) << (built_ / module).string();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("kestrel_lang_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        selector_ = std::make_unique<TLanguageSelector>(
            std::make_unique<PosingProgram>((dir_ / "Kestrelup.exe").string()), MakeLanguageEdge());
    }
    void TearDown() override {
        selector_.reset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    // The built module `module` beside the posing program, under the name `as`.
    void PutModule(const char* module, const std::string& as) const {
        fs::copy_file(built_ / module, dir_ / as);
    }
    void PutGerman(const std::string& as = "Kestrelup.DEU") const {
        PutModule(KESTREL_GERMAN_MODULE, as);
    }
    // Whether a module is in force that says `lost` for a lost connection (plain ASCII in
    // every language, so whatever the code page).
    static bool InForce(const char* lost) {
        return Resources().Current() != Resources().Program() &&
               std::string(StringManager().GetString(1501)) == lost;
    }
    static bool GermanInForce() { return InForce("Verbindung verloren"); }

    fs::path built_;  // the folder the modules were built into
    fs::path dir_;
    std::unique_ptr<TLanguageSelector> selector_;
};

TEST_F(LanguageModule, GermanInLowerCaseLoadsTheModule) {
    PutGerman();
    CountingForm form;
    selector_->SelectLanguage(Names{"-h", "german"});
    EXPECT_TRUE(GermanInForce());
    EXPECT_EQ(form.reads, 1);
    EXPECT_STREQ(ErrorText(0), "ERFOLGREICH");
    EXPECT_STREQ(ErrorText(rc::ConnectionLost), "Verbindung verloren");
    EXPECT_STREQ(ErrorText(rc::NoEngine), "Fehler : -1201");
    EXPECT_STREQ(StringManager().GetString(139), "Fehler");
}

TEST_F(LanguageModule, FrenchInLowerCaseLoadsTheFrenchModule) {
    PutGerman();
    PutModule(KESTREL_FRENCH_MODULE, "Kestrelup.FRA");
    selector_->SelectLanguage(Names{"french"});
    EXPECT_TRUE(InForce("Connexion perdue"));
    EXPECT_STREQ(ErrorText(rc::NoEngine), "Erreur : -1201");
}

TEST_F(LanguageModule, DefaultFollowedByGermanSelectsGerman) {
    PutGerman();
    selector_->SelectLanguage(Names{"DEFAULT", "GERMAN"});
    EXPECT_TRUE(GermanInForce());
}

TEST_F(LanguageModule, WithoutAModuleEnglishStays) {
    CountingForm form;
    for (const Names& parameters : {Names{}, Names{"GERMAN"}, Names{"French", "x.upd"}}) {
        selector_->SelectLanguage(parameters);
        EXPECT_EQ(Resources().Current(), Resources().Program());
        EXPECT_STREQ(ErrorText(0), "SUCCESS");
    }
    EXPECT_EQ(form.reads, 0);
}

TEST_F(LanguageModule, ModuleForAnotherLanguageIsNotTaken) {
    PutGerman();
    EXPECT_EQ(selector_->LoadNewResourceModule(lang::French), nullptr);
    EXPECT_STREQ(ErrorText(0), "SUCCESS");
}

TEST_F(LanguageModule, TwoLetterModuleServesWhenTheThreeLetterOneIsAbsent) {
    PutGerman("Kestrelup.DE");
    EXPECT_NE(selector_->LoadNewResourceModule(lang::German), nullptr);
    EXPECT_TRUE(GermanInForce());
}

TEST_F(LanguageModule, LoadingAgainReleasesTheEarlierModule) {
    PutGerman();
    void* first = selector_->LoadNewResourceModule(lang::German);
    ASSERT_NE(first, nullptr);
    void* second = selector_->LoadNewResourceModule(lang::German);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Resources().Current(), second);
    EXPECT_TRUE(GermanInForce());
    EXPECT_TRUE(first == second || !Mapped(first));
    selector_->ReleaseLanguageModule();
    EXPECT_FALSE(Mapped(second));
    EXPECT_EQ(Resources().Current(), Resources().Program());
    EXPECT_STREQ(ErrorText(0), "SUCCESS");
}

TEST_F(LanguageModule, EveryTranslatedTextComesBackExactly) {
    PutGerman();
    PutModule(KESTREL_FRENCH_MODULE, "Kestrelup.FRA");
    const bool western = GetACP() == 1252;
    for (const TTranslation& translation : kTranslations) {
        selector_->SelectLanguage(Names{translation.language});
        ASSERT_NE(Resources().Current(), Resources().Program()) << translation.language;
        int compared = 0;
        for (const TStringRow& row : std::span(translation.table.rows, translation.table.count)) {
            std::string expected;
            const bool representable = ToWindows1252(row.text, expected);
            ASSERT_TRUE(representable || !western) << translation.language << " " << row.id;
            if (!representable || (!western && expected != row.text)) continue;
            EXPECT_EQ(StringManager().GetString(row.id), expected)
                << translation.language << " string " << row.id;
            ++compared;
        }
        EXPECT_GT(compared, 30) << translation.language;
    }
}

}  // namespace
