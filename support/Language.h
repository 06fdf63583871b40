// Interface language of the wizard. Once at start-up the command line picks a language, and
// the language module named after the program for that language (a data-only library beside
// it) becomes the source of every string and form; without one the program's own English
// resources stay in force.
#pragma once

#include <map>
#include <string>
#include <vector>

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

// Picks the language from the program's command line and puts its module in force,
// re-reading existing forms when a module was loaded.
void SelectLanguage();
void SelectLanguage(const std::vector<std::string>& parameters);

// Loads the module of this language beside the program (ProgramFileName()) and makes it the
// resource module in force, releasing an earlier language module. Returns the module, or
// nullptr (the resources in force are unchanged) when none loads.
void* LoadNewResourceModule(int languageId);

// Puts the program's own resources back in force and releases the language module, if any.
void ReleaseLanguageModule();
