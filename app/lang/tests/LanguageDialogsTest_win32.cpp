// The language modules' pages against the program's own. The code finds every control by
// id, so a page a module lacks, or a control it forgot, renumbered, made of another class or
// placed elsewhere, breaks the wizard in that language only. Read from the dialog templates
// themselves, as the dialog manager reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/PageControls.h"

namespace {

// DLGTEMPLATEEX: the fixed part, then menu, class and title (each a name or an ordinal) and,
// with DS_SETFONT, the font's size, weight, italic and character set before its name.
constexpr size_t kDialogSignature = 2;  // 0xFFFF marks the extended template
constexpr size_t kDialogStyle = 12;
constexpr size_t kDialogItemCount = 16;
constexpr size_t kDialogFixedSize = 26;
constexpr size_t kFontFixedSize = 6;
// DLGITEMTEMPLATEEX, each on a 4-byte boundary: the fixed part, then class and text, then
// the size of the creation data and the data itself.
constexpr size_t kItemStyle = 8;
constexpr size_t kItemX = 12;  // x, y, cx, cy: four 16-bit dialog units
constexpr size_t kItemId = 20;
constexpr size_t kItemFixedSize = 24;
constexpr uint16_t kOrdinalFollows = 0xFFFF;
// The classes a template names by ordinal.
constexpr const char16_t* kClassOrdinals[] = {u"Button",  u"Edit",      u"Static",
                                              u"ListBox", u"ScrollBar", u"ComboBox"};
constexpr uint16_t kFirstClassOrdinal = 0x80;

struct Control {
    std::string layout;  // id, class, style and place
    std::u16string text;
};

struct Dialog {
    bool read = false;
    std::u16string caption;
    std::vector<Control> controls;
};

// The template's bytes, every read checked against their end.
class TemplateReader {
public:
    TemplateReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    bool Ok() const { return ok_; }
    uint16_t Word(size_t at) {
        if (!Has(at, 2)) return 0;
        return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
    }
    uint32_t Dword(size_t at) { return Word(at) | static_cast<uint32_t>(Word(at + 2)) << 16; }
    // A name or an ordinal at `at`, with `at` moved past it; ordinals read as "#N".
    std::u16string NameOrOrdinal(size_t& at) {
        if (Word(at) == kOrdinalFollows) {
            const uint16_t ordinal = Word(at + 2);
            at += 4;
            std::u16string number = u"#";
            for (const char digit : std::to_string(ordinal)) number += digit;
            return number;
        }
        std::u16string name;
        for (; ok_; at += 2) {
            const uint16_t c = Word(at);
            if (c == 0) break;
            name += static_cast<char16_t>(c);
        }
        at += 2;
        return name;
    }

private:
    bool Has(size_t at, size_t n) {
        if (at > size_ || n > size_ - at) ok_ = false;
        return ok_;
    }
    const uint8_t* bytes_;
    size_t size_;
    bool ok_ = true;
};

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::u16string ClassName(std::u16string name) {
    if (name.size() > 1 && name[0] == u'#') {
        const int ordinal = std::stoi(Narrow(name.substr(1)));
        const int index = ordinal - kFirstClassOrdinal;
        if (index >= 0 && index < static_cast<int>(std::size(kClassOrdinals)))
            return kClassOrdinals[index];
    }
    return name;
}

Dialog ReadDialog(HMODULE module, int id) {
    Dialog dialog;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes) return dialog;
    TemplateReader in(bytes, SizeofResource(module, found));
    if (in.Word(kDialogSignature) != kOrdinalFollows) return dialog;
    const uint32_t style = in.Dword(kDialogStyle);
    const uint16_t count = in.Word(kDialogItemCount);
    size_t at = kDialogFixedSize;
    in.NameOrOrdinal(at);  // menu
    in.NameOrOrdinal(at);  // class
    dialog.caption = in.NameOrOrdinal(at);
    if (style & DS_SETFONT) {
        at += kFontFixedSize;
        in.NameOrOrdinal(at);
    }
    for (uint16_t i = 0; i < count && in.Ok(); ++i) {
        at = (at + 3) & ~size_t{3};
        const size_t item = at;
        char place[96];
        std::snprintf(place, sizeof place, " style %08lX at %d,%d %dx%d",
                      static_cast<unsigned long>(in.Dword(item + kItemStyle)),
                      static_cast<int16_t>(in.Word(item + kItemX)),
                      static_cast<int16_t>(in.Word(item + kItemX + 2)),
                      static_cast<int16_t>(in.Word(item + kItemX + 4)),
                      static_cast<int16_t>(in.Word(item + kItemX + 6)));
        const auto controlId = static_cast<int32_t>(in.Dword(item + kItemId));
        at = item + kItemFixedSize;
        const std::u16string className = ClassName(in.NameOrOrdinal(at));
        Control control;
        control.text = in.NameOrOrdinal(at);
        at += 2 + in.Word(at);  // creation data
        control.layout = "id " + std::to_string(controlId) + " " + Narrow(className) + place;
        dialog.controls.push_back(control);
    }
    dialog.read = in.Ok();
    return dialog;
}

std::vector<std::string> Layouts(const Dialog& dialog) {
    std::vector<std::string> layouts;
    for (const Control& control : dialog.controls) layouts.push_back(control.layout);
    return layouts;
}

std::u16string TextOf(const Dialog& dialog, int id) {
    const std::string prefix = "id " + std::to_string(id) + " ";
    for (const Control& control : dialog.controls)
        if (control.layout.rfind(prefix, 0) == 0) return control.text;
    return u"(no control " + std::u16string(prefix.begin(), prefix.end()) + u")";
}

BOOL CALLBACK AddDialog(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(ids)->insert(
            static_cast<int>(reinterpret_cast<uintptr_t>(name)));
    return TRUE;
}

std::set<int> DialogIds(HMODULE module) {
    std::set<int> ids;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(5), AddDialog, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

// A module of the build, beside this test, loaded as data the way the wizard loads it.
class DataModule {
public:
    explicit DataModule(const std::string& file) {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string path = self;
        path = path.substr(0, path.find_last_of('\\') + 1) + file;
        module_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~DataModule() {
        if (module_) FreeLibrary(module_);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    HMODULE Get() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

struct Language {
    const char* module;
    // Two texts every user meets: the HotSync page's Next and the welcome page's advanced mode.
    const char16_t* next;
    const char16_t* advanced;
};

class LanguageDialogs : public ::testing::TestWithParam<Language> {};

TEST_P(LanguageDialogs, HoldEveryPageOfTheProgramWithItsControls) {
    const DataModule program("Kestrelup.exe");
    const DataModule module(GetParam().module);
    ASSERT_TRUE(program.Get());
    ASSERT_TRUE(module.Get()) << GetParam().module;
    const std::set<int> pages = DialogIds(program.Get());
    EXPECT_GE(pages.size(), 9u);
    EXPECT_EQ(DialogIds(module.Get()), pages);
    for (const int page : pages) {
        const Dialog english = ReadDialog(program.Get(), page);
        const Dialog translated = ReadDialog(module.Get(), page);
        ASSERT_TRUE(english.read) << page;
        ASSERT_TRUE(translated.read) << "page " << page;
        EXPECT_EQ(Layouts(translated), Layouts(english)) << "page " << page;
        EXPECT_NE(translated.caption, english.caption) << "page " << page << " is not translated";
    }
}

TEST_P(LanguageDialogs, ButtonsReadInTheLanguage) {
    const DataModule module(GetParam().module);
    ASSERT_TRUE(module.Get()) << GetParam().module;
    EXPECT_EQ(TextOf(ReadDialog(module.Get(), 1209), IDC_PAGE_NEXT), GetParam().next);
    EXPECT_EQ(TextOf(ReadDialog(module.Get(), 1210), IDC_WELCOME_ADVANCED), GetParam().advanced);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, LanguageDialogs,
    ::testing::Values(Language{KESTREL_GERMAN_MODULE, u"&Weiter >", u"&Erweiterter Modus"},
                      Language{KESTREL_FRENCH_MODULE, u"&Suivant >", u"Mode a&vancé"}),
    [](const auto& row) {
        return std::string(row.param.module).substr(10);  // DEU, FRA
    });

}  // namespace
