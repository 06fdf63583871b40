// The native build ships no language modules: its texts are the compiled-in English ones.
#include "support/Language_edge.h"

namespace language_edge {

std::string LanguageCode(int) { return {}; }

void* LoadDataModule(const std::string&) { return nullptr; }

void FreeDataModule(void*) {}

}  // namespace language_edge
