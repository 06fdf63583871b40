#include "support/Language.h"

#include <utility>

#include "base/Text.h"
#include "support/Forms.h"

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

TLanguageSelector::TLanguageSelector(std::unique_ptr<ProgramFileEdge> program,
                                     std::unique_ptr<LanguageEdge> languages,
                                     std::unique_ptr<ResourceModuleEdge> modules)
    : program_(std::move(program)),
      languages_(std::move(languages)),
      modules_(std::move(modules)) {}

TLanguageSelector::~TLanguageSelector() { ReleaseLanguageModule(); }

void* TLanguageSelector::LoadNewResourceModule(int languageId) {
    const std::string programFileName = program_->FileName();
    if (programFileName.empty()) return nullptr;
    for (const std::string& name :
         LanguageModuleNames(programFileName, languages_->LanguageCode(languageId))) {
        void* module = languages_->LoadDataModule(name);
        if (!module) continue;
        void* previous = module_;
        modules_->Set(module);
        module_ = module;
        // Each load holds its own reference, so the earlier one is released even when the
        // platform hands back the same handle.
        if (previous && previous != modules_->Program()) languages_->FreeDataModule(previous);
        return module;
    }
    return nullptr;
}

void TLanguageSelector::ReleaseLanguageModule() {
    if (!module_) return;
    modules_->Set(nullptr);
    if (module_ != modules_->Program()) languages_->FreeDataModule(module_);
    module_ = nullptr;
}

void TLanguageSelector::SelectLanguage(const std::vector<std::string>& parameters) {
    if (LoadNewResourceModule(LanguageFromParameters(parameters))) ReinitializeForms();
}

void TLanguageSelector::SelectLanguage() { SelectLanguage(program_->Parameters()); }

TLanguageSelector& LanguageSelector() {
    static TLanguageSelector selector;
    return selector;
}
