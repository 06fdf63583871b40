// Interface language of the wizard. Once at start-up the command line picks a language, and
// the language module named after the program for that language (a data-only library beside
// it) becomes the source of every string and form; without one the program's own English
// resources stay in force.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ResourceModuleEdge.h"
#include "support/LanguageEdge.h"
#include "support/ProgramFileEdge.h"

namespace lang {
constexpr int Default = 0;
constexpr int German = 1031;
constexpr int English = 1033;
constexpr int French = 1036;
}  // namespace lang

// Keyword -> language identifier, in upper case: "GERMAN", "ENGLISH", "FRENCH", "DEFAULT".
// Built once, on first use.
const std::map<std::string, int>& LanguageKeywords();

// The language the parameters (program name excluded) ask for: the first parameter whose
// upper-case form is a keyword with a non-zero identifier; lang::Default when none is.
int LanguageFromParameters(const std::vector<std::string>& parameters);

// The file names to try for a language module, in order: the program's file name with its
// extension replaced by the three-letter code, then by the code's first two letters. Empty
// when the code is empty or the program's own name has no extension.
std::vector<std::string> LanguageModuleNames(const std::string& programFileName,
                                             const std::string& languageCode);

// Puts language modules in force: the module named after the program (ProgramFileEdge) for a
// language, loaded as data (LanguageEdge), becomes the resource module in force
// (ResourceModuleEdge). It owns the module it loaded.
class TLanguageSelector {
public:
    explicit TLanguageSelector(
        std::unique_ptr<ProgramFileEdge> program = MakeProgramFileEdge(),
        std::unique_ptr<LanguageEdge> languages = MakeLanguageEdge(),
        std::unique_ptr<ResourceModuleEdge> modules = MakeResourceModuleEdge());
    ~TLanguageSelector();
    TLanguageSelector(const TLanguageSelector&) = delete;
    TLanguageSelector& operator=(const TLanguageSelector&) = delete;

    // Picks the language from the parameters (the program's own when none are given) and
    // puts its module in force, re-reading existing forms when a module was loaded.
    void SelectLanguage(const std::vector<std::string>& parameters);
    void SelectLanguage();

    // Loads the module of this language beside the program and makes it the resource module
    // in force, releasing an earlier language module. Returns the module, or nullptr (the
    // resources in force are unchanged) when none loads.
    void* LoadNewResourceModule(int languageId);

    // Releases the language module this selector put in force, if any, and puts the
    // program's own resources back in force.
    void ReleaseLanguageModule();

private:
    std::unique_ptr<ProgramFileEdge> program_;
    std::unique_ptr<LanguageEdge> languages_;
    std::unique_ptr<ResourceModuleEdge> modules_;
    void* module_ = nullptr;  // the language module we loaded; the program's own is never ours
};

// The program's selector, on the platform's edges, and its steps under their start-up names.
TLanguageSelector& LanguageSelector();
inline void SelectLanguage() { LanguageSelector().SelectLanguage(); }
inline void* LoadNewResourceModule(int languageId) {
    return LanguageSelector().LoadNewResourceModule(languageId);
}
