#include <windows.h>

#include "support/FileSearchEdge.h"
#include "support/Filelist.h"

namespace {

double ToLocalDateTime(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return 0;
    return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                          st.wMilliseconds);
}

}  // namespace

namespace {

class Win32FileSearch final : public FileSearchEdge {
public:
    bool Find(const std::string& searchPath, const std::function<void(TFile&&)>& found) override {
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(searchPath.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            // An existing directory with nothing that matches is an empty list, not a failure.
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
        }
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            TFile file;
            file.attributes = data.dwFileAttributes;
            file.creationTime = ToLocalDateTime(data.ftCreationTime);
            file.lastAccessTime = ToLocalDateTime(data.ftLastAccessTime);
            file.lastWriteTime = ToLocalDateTime(data.ftLastWriteTime);
            file.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            file.name = data.cFileName;
            file.shortName = data.cAlternateFileName;
            found(std::move(file));
        } while (FindNextFileA(search, &data));
        FindClose(search);
        return true;
    }
};

}  // namespace

std::unique_ptr<FileSearchEdge> MakeFileSearchEdge() { return std::make_unique<Win32FileSearch>(); }
