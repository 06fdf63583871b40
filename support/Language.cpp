#include "support/Language.h"

#include "support/Forms.h"
#include "support/Language_edge.h"
#include "support/ProgramFile.h"
#include "support/ResourceModule.h"
#include "support/Text.h"

namespace {

// The language module we loaded and own; the program's own module is never released.
void* g_languageModule = nullptr;

}  // namespace

const std::map<std::string, int>& LanguageKeywords() {
    static const std::map<std::string, int> keywords = [] {
        std::map<std::string, int> m;
        m.emplace("GERMAN", lang::German);
        m.emplace("ENGLISH", lang::English);
        m.emplace("FRENCH", lang::French);
        m.emplace("DEFAULT", lang::Default);
        return m;
    }();
    return keywords;
}

int LanguageFromParameters(const std::vector<std::string>& parameters) {
    const auto& keywords = LanguageKeywords();
    for (const std::string& parameter : parameters) {
        const auto found = keywords.find(UpperCase(parameter));
        // "DEFAULT" is 0 like any other word, so a later language word still wins.
        if (found != keywords.end() && found->second != 0) return found->second;
    }
    return keywords.at("DEFAULT");
}

std::vector<std::string> LanguageModuleNames(const std::string& programFileName,
                                             const std::string& languageCode) {
    // Only a dot in the file's own name counts: one in a folder name is not an extension,
    // and cutting there would look for the module outside the program's folder.
    const auto lastSeparator = programFileName.find_last_of("\\/");
    const auto dot = programFileName.rfind('.');
    if (languageCode.empty() || dot == std::string::npos ||
        (lastSeparator != std::string::npos && dot < lastSeparator))
        return {};
    const std::string stem = programFileName.substr(0, dot + 1);
    std::vector<std::string> names{stem + languageCode};
    if (languageCode.size() > 2) names.push_back(stem + languageCode.substr(0, 2));
    return names;
}

void* LoadNewResourceModule(int languageId) {
    const std::string programFileName = ProgramFileName();
    if (programFileName.empty()) return nullptr;
    for (const std::string& name :
         LanguageModuleNames(programFileName, language_edge::LanguageCode(languageId))) {
        void* module = language_edge::LoadDataModule(name);
        if (!module) continue;
        void* previous = g_languageModule;
        SetResourceModule(module);
        g_languageModule = module;
        // Each load holds its own reference, so the earlier one is released even when the
        // platform hands back the same handle.
        if (previous && previous != ProgramResourceModule())
            language_edge::FreeDataModule(previous);
        return module;
    }
    return nullptr;
}

void ReleaseLanguageModule() {
    SetResourceModule(nullptr);
    if (g_languageModule && g_languageModule != ProgramResourceModule())
        language_edge::FreeDataModule(g_languageModule);
    g_languageModule = nullptr;
}

void SelectLanguage(const std::vector<std::string>& parameters) {
    if (LoadNewResourceModule(LanguageFromParameters(parameters))) ReinitializeForms();
}

void SelectLanguage() { SelectLanguage(CommandLineParameters()); }
