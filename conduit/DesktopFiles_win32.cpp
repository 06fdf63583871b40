// The desktop's files through the Win32 API, with the ANSI paths HotSync Manager hands over;
// failures answer GetLastError()'s code.
#include <windows.h>

#include "conduit/DesktopFiles.h"

namespace {

int32_t LastError() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int32_t>(error) : static_cast<int32_t>(ERROR_GEN_FAILURE);
}

class Win32Writer : public DesktopFileWriter {
public:
    explicit Win32Writer(HANDLE file) : file_(file) {}
    ~Win32Writer() override {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    int32_t Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
            DWORD wrote = 0;
            if (!WriteFile(file_, data, piece, &wrote, nullptr)) return LastError();
            if (wrote == 0) return ERROR_DISK_FULL;
            data += wrote;
            size -= wrote;
        }
        return 0;
    }
    // The data is on the disk before the file is renamed over a previous backup.
    int32_t Close() override {
        const bool flushed = FlushFileBuffers(file_) != 0;
        const int32_t flushError = flushed ? 0 : LastError();
        const bool closed = CloseHandle(file_) != 0;
        file_ = INVALID_HANDLE_VALUE;
        if (!flushed) return flushError;
        return closed ? 0 : LastError();
    }

private:
    HANDLE file_;
};

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

class Win32Files : public DesktopFiles {
public:
    int32_t MakeDirectory(const std::string& path) override {
        if (CreateDirectoryA(path.c_str(), nullptr)) return 0;
        const int32_t error = LastError();
        return error == ERROR_ALREADY_EXISTS && IsDirectory(path) ? 0 : error;
    }
    bool IsDirectory(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    int32_t List(const std::string& folder, std::vector<DesktopEntry>& entries) override {
        entries.clear();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((WithSlash(folder) + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            const int32_t error = LastError();
            return error == ERROR_FILE_NOT_FOUND ? 0 : error;
        }
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                               found.dwFileAttributes});
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return 0;
    }
    int32_t ReadHead(const std::string& path, size_t size, std::vector<uint8_t>& bytes) override {
        return Read(path, size, bytes);
    }
    int32_t ReadAll(const std::string& path, std::vector<uint8_t>& bytes) override {
        return Read(path, SIZE_MAX, bytes);
    }
    std::unique_ptr<DesktopFileWriter> Create(const std::string& path, int32_t& error) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = LastError();
            return nullptr;
        }
        error = 0;
        return std::make_unique<Win32Writer>(file);
    }
    int32_t Copy(const std::string& from, const std::string& to) override {
        return CopyFileA(from.c_str(), to.c_str(), FALSE) ? 0 : LastError();
    }
    int32_t Replace(const std::string& from, const std::string& to) override {
        return MoveFileExA(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? 0
                   : LastError();
    }
    int32_t Delete(const std::string& path) override {
        return DeleteFileA(path.c_str()) ? 0 : LastError();
    }
    int32_t MakeWritable(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
        if (!(attributes & FILE_ATTRIBUTE_READONLY)) return 0;
        return SetFileAttributesA(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})
                   ? 0
                   : LastError();
    }
    int32_t RemoveDirectory(const std::string& path) override {
        return RemoveDirectoryA(path.c_str()) ? 0 : LastError();
    }

private:
    int32_t Read(const std::string& path, size_t most, std::vector<uint8_t>& bytes) {
        bytes.clear();
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return LastError();
        uint8_t chunk[65536];
        int32_t error = 0;
        while (bytes.size() < most) {
            const size_t want =
                most - bytes.size() < sizeof chunk ? most - bytes.size() : sizeof chunk;
            DWORD got = 0;
            if (!ReadFile(file, chunk, static_cast<DWORD>(want), &got, nullptr)) {
                error = LastError();
                break;
            }
            if (got == 0) break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        CloseHandle(file);
        return error;
    }
};

}  // namespace

std::unique_ptr<DesktopFiles> MakeDesktopFiles() { return std::make_unique<Win32Files>(); }
