// The module whose resources (string table, forms) are in force: the program itself until
// a language module is put in its place. Handles are the platform's module handles.
#pragma once

void* ResourceModule();
void SetResourceModule(void* module);
