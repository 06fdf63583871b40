// The module whose resources (string table, forms) are in force: the program itself until
// a language module is put in its place. The platform keeps one for the whole program; every
// edge made here sees and changes that one. Handles are the platform's module handles; in the
// native build, where there are no resource files, a module is a TStringTable
// (base/StringTable.h).
#pragma once

#include <memory>

class ResourceModuleEdge {
public:
    virtual ~ResourceModuleEdge() = default;

    // The module in force.
    virtual void* Current() = 0;
    // Puts `module` in force; a null module puts the program's own resources back.
    virtual void Set(void* module) = 0;
    // The program's own resources.
    virtual void* Program() = 0;
};

std::unique_ptr<ResourceModuleEdge> MakeResourceModuleEdge();
