#include <unistd.h>

#include <fstream>
#include <iterator>

#include "support/ProgramFileEdge.h"

namespace {

// What the Windows edge reads the file name into, terminator included.
constexpr int kFileNameCapacity = 261;

class PosixProgramFile final : public ProgramFileEdge {
public:
    std::string FileName() override {
        char buffer[kFileNameCapacity];
        const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
        if (n <= 0 || n >= kFileNameCapacity) return {};
        return std::string(buffer, static_cast<size_t>(n));
    }

    std::vector<std::string> Parameters() override {
        // The kernel keeps the arguments NUL-separated; the first is the program name.
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
        std::vector<std::string> parameters;
        std::string::size_type start = 0;
        bool first = true;
        while (start < all.size()) {
            std::string::size_type end = all.find('\0', start);
            if (end == std::string::npos) end = all.size();
            if (!first) parameters.emplace_back(all, start, end - start);
            first = false;
            start = end + 1;
        }
        return parameters;
    }
};

}  // namespace

std::unique_ptr<ProgramFileEdge> MakeProgramFileEdge() {
    return std::make_unique<PosixProgramFile>();
}
