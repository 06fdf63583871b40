#include <windows.h>

#include <algorithm>
#include <vector>

#include "notifiers/AidesEdge.h"

// Palm Desktop's libraries, imported by ordinal only (import libraries made from
// userdata_imports.def and instaide_imports.def); stdcall, as every call between HotSync
// Manager's libraries. Their results say nothing a notifier acts on.
extern "C" {
// userdata.dll 103: the user `data` stands for; capacity in and out.
__declspec(dllimport) LONG WINAPI UserNameOf(DWORD data, char* name, DWORD* capacity);
// instaide.dll 300: the user's folder on the desktop; capacity in and out.
__declspec(dllimport) LONG WINAPI
    UserDirectoryOf(const char* user, char* directory, DWORD* capacity);
}

namespace {

// Path buffers hold 260 characters; one more always ends a text that a library left without
// its NUL.
constexpr uint32_t kBufferSize = 260;

std::string TextIn(const std::vector<char>& buffer, uint32_t capacity) {
    const auto last = buffer.begin() + std::min<size_t>(capacity, buffer.size() - 1);
    return std::string(buffer.begin(), std::find(buffer.begin(), last, '\0'));
}

class Win32Aides final : public AidesEdge {
public:
    explicit Win32Aides(QueueInstallCall queueInstall) : queueInstall_(queueInstall) {}

    std::string UserName(uint32_t data, uint32_t capacity) override {
        // A fresh buffer each time: a library that fails leaves nothing, not the name of some
        // earlier HotSync's user.
        std::vector<char> buffer(std::max(capacity, kBufferSize) + 1, '\0');
        DWORD size = capacity;
        UserNameOf(data, buffer.data(), &size);
        return TextIn(buffer, capacity);
    }

    std::string UserDirectory(const std::string& user, uint32_t capacity) override {
        std::vector<char> buffer(std::max(capacity, kBufferSize) + 1, '\0');
        DWORD size = capacity;
        UserDirectoryOf(user.c_str(), buffer.data(), &size);
        return TextIn(buffer, capacity);
    }

    void QueueInstall(const std::string& user, const std::string& path) override {
        if (queueInstall_) queueInstall_(user, path);
    }

    std::optional<std::string> ModuleFileName(const std::string& module,
                                              uint32_t capacity) override {
        const HMODULE handle = GetModuleHandleA(module.c_str());
        if (!handle) return std::nullopt;
        std::vector<char> buffer(capacity + 1, '\0');
        const DWORD length = GetModuleFileNameA(handle, buffer.data(), capacity);
        return TextIn(buffer, std::min<uint32_t>(length, capacity));
    }

    bool FileExists(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

private:
    QueueInstallCall queueInstall_;
};

}  // namespace

std::unique_ptr<AidesEdge> MakeAidesEdge(QueueInstallCall queueInstall) {
    return std::make_unique<Win32Aides>(queueInstall);
}
