#include <unistd.h>

#include <fstream>
#include <iterator>

#include "support/ProgramFile_edge.h"

namespace programfile_edge {

std::string RunningProgramFileName() {
    char buffer[kFileNameCapacity];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || n >= kFileNameCapacity) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::vector<std::string> CommandLineParameters() {
    // The kernel keeps the arguments NUL-separated; the first is the program name.
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

}  // namespace programfile_edge
