// A state directory as it stands, for tests that must show that nothing in it was lost or
// changed: each regular file's size and hash, what each symbolic link points to, and the kind
// of anything else. Nothing is opened that could block (a FIFO) or never end (a device).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace state_snapshot {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Short enough to print when a comparison fails: the size and an FNV-1a hash.
inline std::string Digest(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3u;
    return std::to_string(bytes.size()) + " bytes, hash " + std::to_string(hash);
}

inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_symlink(status))
            entries[name] = "link to " + fs::read_symlink(entry.path()).string();
        else if (fs::is_regular_file(status))
            entries[name] = Digest(ReadFile(entry.path()));
        else
            entries[name] = "kind " + std::to_string(static_cast<int>(status.type()));
    }
    return entries;
}

}  // namespace state_snapshot
