#include <windows.h>

#include <cstdlib>

#include "support/ProgramFile_edge.h"

namespace programfile_edge {

std::string RunningProgramFileName() {
    char buffer[kFileNameCapacity];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, kFileNameCapacity);
    // A name cut at the capacity would lead to the wrong folder; better none at all.
    if (n == 0 || n >= static_cast<DWORD>(kFileNameCapacity)) return {};
    return std::string(buffer, n);
}

std::vector<std::string> CommandLineParameters() {
    // The C runtime has already split the command line by the platform's quoting rules.
    std::vector<std::string> parameters;
    if (!__argv) return parameters;
    for (int i = 1; i < __argc; ++i)
        if (__argv[i]) parameters.emplace_back(__argv[i]);
    return parameters;
}

}  // namespace programfile_edge
