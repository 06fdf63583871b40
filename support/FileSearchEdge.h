// What the file list needs of the platform: the files of a directory that match a wildcard,
// as the platform's directory search reports them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct TFile {
    uint32_t attributes = 0;    // as the directory search reports them
    double creationTime = 0;    // local date-times: days since 30 Dec 1899 plus the time
    double lastAccessTime = 0;  // of day as a fraction; 0 when the time cannot be
    double lastWriteTime = 0;   // converted
    uint64_t size = 0;
    std::string name;
    std::string shortName;  // the 8.3 name, where the file system keeps one
    std::string directory;  // the list's directory
};

class FileSearchEdge {
public:
    virtual ~FileSearchEdge() = default;
    // Calls `found` for every match of searchPath (a directory part and a wildcard, as the
    // platform's search takes them) that is not a directory; the entry's directory field is
    // left to the caller. False when the search cannot be made (its directory does not
    // exist); true otherwise, also when nothing matches.
    virtual bool Find(const std::string& searchPath, const std::function<void(TFile&&)>& found) = 0;
};

std::unique_ptr<FileSearchEdge> MakeFileSearchEdge();
