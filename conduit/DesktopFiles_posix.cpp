// The desktop's files on a POSIX file system, for the native tests and tools: the conduit's
// backslashes become slashes, errno values stand for the system's error codes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "conduit/DesktopFiles.h"

namespace {

std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    // "dir\" names the folder itself.
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

int32_t Error() { return errno != 0 ? errno : EIO; }

class PosixWriter : public DesktopFileWriter {
public:
    explicit PosixWriter(int fd) : fd_(fd) {}
    ~PosixWriter() override {
        if (fd_ >= 0) ::close(fd_);
    }
    int32_t Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            const ssize_t wrote = ::write(fd_, data, size);
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) return wrote < 0 ? Error() : ENOSPC;
            data += wrote;
            size -= static_cast<size_t>(wrote);
        }
        return 0;
    }
    int32_t Close() override {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : Error();
    }

private:
    int fd_;
};

class PosixFiles : public DesktopFiles {
public:
    int32_t MakeDirectory(const std::string& path) override {
        if (::mkdir(Native(path).c_str(), 0777) == 0) return 0;
        return errno == EEXIST && IsDirectory(path) ? 0 : Error();
    }
    bool IsDirectory(const std::string& path) override {
        struct stat info {};
        return ::stat(Native(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    int32_t List(const std::string& folder, std::vector<DesktopEntry>& entries) override {
        entries.clear();
        const std::string dir = Native(folder);
        DIR* stream = ::opendir(dir.c_str());
        if (!stream) return Error();
        while (const dirent* entry = ::readdir(stream)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            struct stat info {};
            const bool known = ::lstat((dir + "/" + name).c_str(), &info) == 0;
            entries.push_back({name, known && S_ISDIR(info.st_mode),
                               known ? static_cast<uint32_t>(info.st_mode) : 0});
        }
        ::closedir(stream);
        return 0;
    }
    int32_t ReadHead(const std::string& path, size_t size, std::vector<uint8_t>& bytes) override {
        return Read(path, size, bytes);
    }
    int32_t ReadAll(const std::string& path, std::vector<uint8_t>& bytes) override {
        return Read(path, SIZE_MAX, bytes);
    }
    std::unique_ptr<DesktopFileWriter> Create(const std::string& path, int32_t& error) override {
        const int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = Error();
            return nullptr;
        }
        error = 0;
        return std::make_unique<PosixWriter>(fd);
    }
    int32_t Copy(const std::string& from, const std::string& to) override {
        std::vector<uint8_t> bytes;
        if (const int32_t error = ReadAll(from, bytes)) return error;
        int32_t error = 0;
        auto writer = Create(to, error);
        if (!writer) return error;
        if ((error = writer->Write(bytes.data(), bytes.size())) != 0) return error;
        return writer->Close();
    }
    int32_t Replace(const std::string& from, const std::string& to) override {
        return ::rename(Native(from).c_str(), Native(to).c_str()) == 0 ? 0 : Error();
    }
    int32_t Delete(const std::string& path) override {
        return ::unlink(Native(path).c_str()) == 0 ? 0 : Error();
    }
    int32_t MakeWritable(const std::string& path) override {
        struct stat info {};
        const std::string native = Native(path);
        if (::stat(native.c_str(), &info) != 0) return Error();
        return ::chmod(native.c_str(), info.st_mode | S_IWUSR) == 0 ? 0 : Error();
    }
    int32_t RemoveDirectory(const std::string& path) override {
        return ::rmdir(Native(path).c_str()) == 0 ? 0 : Error();
    }

private:
    int32_t Read(const std::string& path, size_t most, std::vector<uint8_t>& bytes) {
        bytes.clear();
        const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Error();
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            const int32_t error = S_ISDIR(info.st_mode) ? EISDIR : Error();
            ::close(fd);
            return error;
        }
        uint8_t chunk[65536];
        while (bytes.size() < most) {
            const ssize_t got = ::read(fd, chunk, std::min(sizeof chunk, most - bytes.size()));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                const int32_t error = Error();
                ::close(fd);
                return error;
            }
            if (got == 0) break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        ::close(fd);
        return 0;
    }
};

}  // namespace

std::unique_ptr<DesktopFiles> MakeDesktopFiles() { return std::make_unique<PosixFiles>(); }
