// What the program's texts need of the platform: a string from the string table of the
// resource module in force (the program itself, or a language module), and why one could
// not be had.
#pragma once

#include <memory>

#include "base/ResourceModuleEdge.h"

class StringTableEdge {
public:
    virtual ~StringTableEdge() = default;

    // Copies string `id` into `buffer` (at most size - 1 characters, always terminated) and
    // returns its length; 0 when the string is missing or empty, with LastError telling why.
    virtual int Load(int id, char* buffer, int size) = 0;

    // The platform's error code of the last failed Load.
    virtual unsigned long LastError() = 0;
};

// The string table of the resource module in force.
std::unique_ptr<StringTableEdge> MakeStringTableEdge(
    std::unique_ptr<ResourceModuleEdge> modules = MakeResourceModuleEdge());
