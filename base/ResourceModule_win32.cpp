#include <windows.h>

#include "base/ResourceModule.h"

namespace {

HINSTANCE g_resourceModule = nullptr;

}  // namespace

void* ResourceModule() { return g_resourceModule ? g_resourceModule : ProgramResourceModule(); }

void SetResourceModule(void* module) { g_resourceModule = static_cast<HINSTANCE>(module); }

void* ProgramResourceModule() { return GetModuleHandleA(nullptr); }
