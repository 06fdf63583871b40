// The module whose resources (string table, forms) are in force: the program itself until
// a language module is put in its place. Handles are the platform's module handles; in the
// native build, where there are no resource files, a module is a TStringTable
// (base/StringTable.h).
#pragma once

void* ResourceModule();

// A null module puts the program's own resources back in force.
void SetResourceModule(void* module);

// The program's own resources.
void* ProgramResourceModule();
