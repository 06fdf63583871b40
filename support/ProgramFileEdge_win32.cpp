#include <windows.h>

#include <cstdlib>

#include "support/ProgramFileEdge.h"

namespace {

// The capacity the program's file name is read into, terminator included.
constexpr int kFileNameCapacity = 261;

class Win32ProgramFile final : public ProgramFileEdge {
public:
    std::string FileName() override {
        char buffer[kFileNameCapacity];
        const DWORD n = GetModuleFileNameA(nullptr, buffer, kFileNameCapacity);
        if (n == 0 || n >= static_cast<DWORD>(kFileNameCapacity)) return {};
        return std::string(buffer, n);
    }

    std::vector<std::string> Parameters() override {
        // The C runtime has already split the command line by the platform's quoting rules.
        std::vector<std::string> parameters;
        if (!__argv) return parameters;
        for (int i = 1; i < __argc; ++i)
            if (__argv[i]) parameters.emplace_back(__argv[i]);
        return parameters;
    }
};

}  // namespace

std::unique_ptr<ProgramFileEdge> MakeProgramFileEdge() {
    return std::make_unique<Win32ProgramFile>();
}
