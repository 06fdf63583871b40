// What the backup conduit does with the desktop's files and folders. Paths are the desktop's
// (Windows paths, backslash-separated, in the ANSI code page, as HotSync Manager hands them
// over); failures answer the system's error code, which the HotSync log shows. The Win32
// binding works on the real disk; the posix one, for the native tests, maps the backslashes
// to slashes and answers errno values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct DesktopEntry {
    std::string name;  // within its folder
    bool directory = false;
    uint32_t attributes = 0;  // the system's attribute bits, for the log
};

// A file being written. Every write is checked and so is the close: data the disk did not
// take is a failure, never a file that looks whole.
class DesktopFileWriter {
public:
    virtual ~DesktopFileWriter() = default;
    // 0 or the system error.
    virtual int32_t Write(const uint8_t* data, size_t size) = 0;
    virtual int32_t Close() = 0;
};

class DesktopFiles {
public:
    virtual ~DesktopFiles() = default;

    // Makes the folder (its parent must exist); one that exists already is fine.
    virtual int32_t MakeDirectory(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
    // The folder's entries in the order the system lists them, "." and ".." left out.
    virtual int32_t List(const std::string& folder, std::vector<DesktopEntry>& entries) = 0;
    // Up to `size` bytes from the start of the file; fewer when it is shorter.
    virtual int32_t ReadHead(const std::string& path, size_t size, std::vector<uint8_t>& bytes) = 0;
    // The whole file.
    virtual int32_t ReadAll(const std::string& path, std::vector<uint8_t>& bytes) = 0;
    // Creates or truncates the file for writing; nullptr with `error` set when it cannot.
    virtual std::unique_ptr<DesktopFileWriter> Create(const std::string& path, int32_t& error) = 0;
    // Copies a file over whatever is at `to`.
    virtual int32_t Copy(const std::string& from, const std::string& to) = 0;
    // Renames a file over whatever file is at `to`, in one step.
    virtual int32_t Replace(const std::string& from, const std::string& to) = 0;
    virtual int32_t Delete(const std::string& path) = 0;
    virtual int32_t MakeWritable(const std::string& path) = 0;
    virtual int32_t RemoveDirectory(const std::string& path) = 0;
};

std::unique_ptr<DesktopFiles> MakeDesktopFiles();
