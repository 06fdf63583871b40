// What language selection needs of the platform: the locale's language code and loading of
// data-only modules.
#pragma once

#include <string>

namespace language_edge {

// Capacity, terminator included, of the buffer the language code is read into.
constexpr int kLanguageCodeCapacity = 5;

// The platform's three-letter code of the language ("DEU" for German); empty when unknown.
std::string LanguageCode(int languageId);

// Loads a library as data only (its code never runs); nullptr when it cannot be loaded.
void* LoadDataModule(const std::string& fileName);

void FreeDataModule(void* module);

}  // namespace language_edge
