// The stand-in of Palm Desktop's instaide.dll: the desktop users' folders and the queue of
// files waiting to be installed on the virtual handheld.
#include <windows.h>

#include <optional>
#include <string>

#include "base/RegistryEdge.h"
#include "sim/hotsync/WorldSettings.h"

namespace {

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int32_t Queue(const char* user, const char* path) {
    if (!user || !path || !hsworld::IsPlainName(user)) return hsworld::kBadArgument;
    const auto registry = MakeRegistryEdge();
    // Only the world's user has a handheld in the cradle.
    const auto owner = hsworld::ReadSetting(*registry, hsworld::kUser);
    if (!owner || *owner != user) return hsworld::kMissing;
    const std::string source = path;
    const size_t slash = source.find_last_of("\\/");
    const std::string file = slash == std::string::npos ? source : source.substr(slash + 1);
    if (file.empty() || !IsFile(source)) return hsworld::kMissing;
    const auto folder = hsworld::InstallFolder(*registry);
    if (!folder) return hsworld::kMissing;
    // The handheld's state directory must be there already; only its queue is ours to make.
    if (!CreateDirectoryA(folder->c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return hsworld::kFileError;
    // Copied beside its place under a name the handheld's side passes over, then renamed into
    // it: whoever empties the queue never meets half a file.
    const std::string partial = *folder + "\\." + file;
    const std::string queued = *folder + "\\" + file;
    if (!CopyFileA(source.c_str(), partial.c_str(), FALSE)) return hsworld::kFileError;
    if (!MoveFileExA(partial.c_str(), queued.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(partial.c_str());
        return hsworld::kFileError;
    }
    return hsworld::kOk;
}

}  // namespace

// Exported by ordinal only (instaide.def), stdcall like the real library.
extern "C" {

// Ordinal 103: queues the file at `path` for installation on `user`'s handheld at the next
// HotSync, as a copy, so that the file may go meanwhile.
LONG WINAPI QueueInstallFor(const char* user, const char* path) {
    try {
        return Queue(user, path);
    } catch (...) {
        return hsworld::kFileError;
    }
}

// Ordinal 300: `user`'s folder on the desktop, cut to `capacity` characters (its NUL
// included); `capacity` comes back as what the whole folder name needs.
LONG WINAPI UserDirectoryOf(const char* user, char* directory, DWORD* capacity) {
    if (!directory || !capacity) return hsworld::kBadArgument;
    try {
        uint32_t size = *capacity;
        const std::optional<std::string> folder =
            user ? hsworld::UserFolder(*MakeRegistryEdge(), user) : std::nullopt;
        const int32_t result = hsworld::CopyOut(folder.value_or(""), directory, size);
        *capacity = size;
        if (!folder)
            return user && hsworld::IsPlainName(user) ? hsworld::kMissing : hsworld::kBadArgument;
        return result;
    } catch (...) {
        return hsworld::kFileError;
    }
}

}  // extern "C"
