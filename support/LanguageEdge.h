// What language selection needs of the platform: the locale's code for a language, and
// language modules loaded as data (their code never runs).
#pragma once

#include <memory>
#include <string>

class LanguageEdge {
public:
    virtual ~LanguageEdge() = default;
    // The platform's three-letter code of the language ("DEU" for German), read into a buffer
    // of 5 characters; empty when unknown.
    virtual std::string LanguageCode(int languageId) = 0;
    // Loads a library as data only; nullptr when it cannot be loaded.
    virtual void* LoadDataModule(const std::string& fileName) = 0;
    virtual void FreeDataModule(void* module) = 0;
};

std::unique_ptr<LanguageEdge> MakeLanguageEdge();
