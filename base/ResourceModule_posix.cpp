// Native builds have no resource files: a resource module is an in-memory string table, the
// program's own being the English one.
#include "base/ResourceModule.h"
#include "base/StringIds.h"

namespace {

void* g_resourceModule = nullptr;

}  // namespace

void* ResourceModule() { return g_resourceModule ? g_resourceModule : ProgramResourceModule(); }

void SetResourceModule(void* module) { g_resourceModule = module; }

void* ProgramResourceModule() {
    static TStringTable english{EnglishStrings().data(), EnglishStrings().size()};
    return &english;
}
