#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/lang/tests/GermanRows.h"
#include "base/ResourceModule.h"
#include "base/ResultCodes.h"
#include "base/Stringmgr.h"
#include "support/Forms.h"
#include "support/Language.h"
#include "support/ProgramFileEdge.h"
#include "support/tests/LanguageFakes.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

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
        const fs::path self = MakeProgramFileEdge()->FileName();
        built_ = self.parent_path() / KESTREL_MODULE_NAME;
        ASSERT_TRUE(fs::exists(built_)) << built_.string();
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
    void PutModule(const std::string& name) const { fs::copy_file(built_, dir_ / name); }
    bool GermanInForce() const {
        return ResourceModule() != ProgramResourceModule() &&
               std::string(StringManager().GetString(1000)) == "ERFOLGREICH";
    }

    fs::path built_;
    fs::path dir_;
    std::unique_ptr<TLanguageSelector> selector_;
};

TEST_F(LanguageModule, GermanInLowerCaseLoadsTheModule) {
    PutModule("Kestrelup.DEU");
    CountingForm form;
    selector_->SelectLanguage(Names{"-h", "german"});
    EXPECT_TRUE(GermanInForce());
    EXPECT_EQ(form.reads, 1);
    EXPECT_STREQ(ErrorText(0), "ERFOLGREICH");
    EXPECT_STREQ(ErrorText(rc::ConnectionLost), "Verbindung verloren");
    EXPECT_STREQ(ErrorText(rc::NoEngine), "Fehler : -1201");
    EXPECT_STREQ(StringManager().GetString(139), "Fehler");
}

TEST_F(LanguageModule, DefaultFollowedByGermanSelectsGerman) {
    PutModule("Kestrelup.DEU");
    selector_->SelectLanguage(Names{"DEFAULT", "GERMAN"});
    EXPECT_TRUE(GermanInForce());
}

TEST_F(LanguageModule, WithoutAModuleEnglishStays) {
    CountingForm form;
    for (const Names& parameters : {Names{}, Names{"GERMAN"}, Names{"French", "x.upd"}}) {
        selector_->SelectLanguage(parameters);
        EXPECT_EQ(ResourceModule(), ProgramResourceModule());
        EXPECT_STREQ(ErrorText(0), "SUCCESS");
    }
    EXPECT_EQ(form.reads, 0);
}

TEST_F(LanguageModule, ModuleForAnotherLanguageIsNotTaken) {
    PutModule("Kestrelup.DEU");
    EXPECT_EQ(selector_->LoadNewResourceModule(lang::French), nullptr);
    EXPECT_STREQ(ErrorText(0), "SUCCESS");
}

TEST_F(LanguageModule, TwoLetterModuleServesWhenTheThreeLetterOneIsAbsent) {
    PutModule("Kestrelup.DE");
    EXPECT_NE(selector_->LoadNewResourceModule(lang::German), nullptr);
    EXPECT_TRUE(GermanInForce());
}

TEST_F(LanguageModule, LoadingAgainReleasesTheEarlierModule) {
    PutModule("Kestrelup.DEU");
    void* first = selector_->LoadNewResourceModule(lang::German);
    ASSERT_NE(first, nullptr);
    void* second = selector_->LoadNewResourceModule(lang::German);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ResourceModule(), second);
    EXPECT_TRUE(GermanInForce());
    EXPECT_TRUE(first == second || !Mapped(first));
    selector_->ReleaseLanguageModule();
    EXPECT_FALSE(Mapped(second));
    EXPECT_EQ(ResourceModule(), ProgramResourceModule());
    EXPECT_STREQ(ErrorText(0), "SUCCESS");
}

TEST_F(LanguageModule, EveryGermanTextComesBackExactly) {
    PutModule("Kestrelup.DEU");
    ASSERT_NE(selector_->LoadNewResourceModule(lang::German), nullptr);
    const bool western = GetACP() == 1252;
    int compared = 0;
    for (const TStringRow& row : kGerman) {
        std::string expected;
        const bool representable = ToWindows1252(row.text, expected);
        ASSERT_TRUE(representable || !western) << row.id;
        if (!representable || (!western && expected != row.text)) continue;
        EXPECT_EQ(StringManager().GetString(row.id), expected) << "string " << row.id;
        ++compared;
    }
    EXPECT_GT(compared, 30);
}

}  // namespace
