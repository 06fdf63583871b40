#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "base/Text.h"
#include "support/FileSearchEdge.h"
#include "support/Filelist.h"

namespace {

// The attribute bits the Windows search would report for a plain file.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrArchive = 0x20;

double ToLocalDateTime(const timespec& when) {
    tm local{};
    const time_t seconds = when.tv_sec;
    if (!localtime_r(&seconds, &local)) return 0;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                          static_cast<int>(when.tv_nsec / 1000000));
}

class DirCloser {
public:
    explicit DirCloser(DIR* dir) : dir_(dir) {}
    ~DirCloser() { closedir(dir_); }
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;

private:
    DIR* dir_;
};

}  // namespace

namespace {

class PosixFileSearch final : public FileSearchEdge {
public:
    bool Find(const std::string& searchPath, const std::function<void(TFile&&)>& found) override {
        // As on Windows, the wildcard is whatever follows the last separator.
        const auto separator = searchPath.find_last_of('/');
        const std::string directory =
            separator == std::string::npos ? std::string() : searchPath.substr(0, separator + 1);
        const std::string pattern =
            separator == std::string::npos ? searchPath : searchPath.substr(separator + 1);

        DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
        if (!dir) return false;
        DirCloser closer(dir);
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || !MatchesWildcard(name, pattern)) continue;
            struct stat info;
            if (stat((directory + name).c_str(), &info) != 0 || S_ISDIR(info.st_mode)) continue;
            TFile file;
            file.attributes = kAttrArchive;
            if (access((directory + name).c_str(), W_OK) != 0) file.attributes |= kAttrReadOnly;
            if (name[0] == '.') file.attributes |= kAttrHidden;
            // The file system keeps no creation time here; the last status change is the nearest.
            file.creationTime = ToLocalDateTime(info.st_ctim);
            file.lastAccessTime = ToLocalDateTime(info.st_atim);
            file.lastWriteTime = ToLocalDateTime(info.st_mtim);
            file.size = static_cast<uint64_t>(info.st_size);
            file.name = name;
            found(std::move(file));
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<FileSearchEdge> MakeFileSearchEdge() { return std::make_unique<PosixFileSearch>(); }
