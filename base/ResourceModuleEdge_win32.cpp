#include <windows.h>

#include "base/ResourceModuleEdge.h"

namespace {

// The module in force, for the whole program; null while the program's own is.
HINSTANCE g_resourceModule = nullptr;

class Win32ResourceModules final : public ResourceModuleEdge {
public:
    void* Current() override { return g_resourceModule ? g_resourceModule : Program(); }
    void Set(void* module) override { g_resourceModule = static_cast<HINSTANCE>(module); }
    void* Program() override { return GetModuleHandleA(nullptr); }
};

}  // namespace

std::unique_ptr<ResourceModuleEdge> MakeResourceModuleEdge() {
    return std::make_unique<Win32ResourceModules>();
}
