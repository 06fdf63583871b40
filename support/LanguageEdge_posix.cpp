// The native build ships no language modules: its texts are the compiled-in English ones.
#include "support/LanguageEdge.h"

namespace {

class NoLanguageModules final : public LanguageEdge {
public:
    std::string LanguageCode(int) override { return {}; }
    void* LoadDataModule(const std::string&) override { return nullptr; }
    void FreeDataModule(void*) override {}
};

}  // namespace

std::unique_ptr<LanguageEdge> MakeLanguageEdge() { return std::make_unique<NoLanguageModules>(); }
