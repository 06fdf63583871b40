// A string table held in memory: what a resource module is in the native build, which has
// no resource files. The program's own table is the English one.
#pragma once

#include <cstddef>

struct TStringRow {
    int id;
    const char* text;
};

struct TStringTable {
    const TStringRow* rows;
    std::size_t count;
};
