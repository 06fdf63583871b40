// Native builds have no resource files: a resource module is an in-memory string table, the
// program's own being the English one.
#include "base/ResourceModuleEdge.h"
#include "base/StringIds.h"

namespace {

// The module in force, for the whole program; null while the program's own is.
void* g_resourceModule = nullptr;

class PosixResourceModules final : public ResourceModuleEdge {
public:
    void* Current() override { return g_resourceModule ? g_resourceModule : Program(); }
    void Set(void* module) override { g_resourceModule = module; }
    void* Program() override {
        static TStringTable english{EnglishStrings().data(), EnglishStrings().size()};
        return &english;
    }
};

}  // namespace

std::unique_ptr<ResourceModuleEdge> MakeResourceModuleEdge() {
    return std::make_unique<PosixResourceModules>();
}
