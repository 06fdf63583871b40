#include <windows.h>

#include <string>

#include "base/MessagePump.h"
#include "hotsync/DesktopEdge.h"

namespace {

using SyncStatusFunction = DWORD(WINAPI*)(DWORD*);

class Win32Desktop final : public DesktopEdge {
public:
    ~Win32Desktop() override {
        if (hsapi_) FreeLibrary(hsapi_);
    }

    Window FindTopWindow(const std::string& title) override {
        return FindWindowA(nullptr, title.c_str());
    }
    bool WindowExists(Window window) override {
        return window && IsWindow(static_cast<HWND>(window));
    }
    void Send(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        SendMessageA(static_cast<HWND>(window), message, wParam, lParam);
    }
    void Post(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        PostMessageA(static_cast<HWND>(window), message, wParam, lParam);
    }
    void BringToTop(Window window) override { BringWindowToTop(static_cast<HWND>(window)); }

    void ProcessMessages() override { ProcessWaitingMessages(); }

    bool StartProcess(const std::string& commandLine, const std::string& workingDirectory,
                      Process& process) override {
        std::string line = commandLine;  // the platform may write into it
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                            nullptr, workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                            &startup, &info))
            return false;
        process.process = info.hProcess;
        process.thread = info.hThread;
        process.processId = info.dwProcessId;
        process.threadId = info.dwThreadId;
        return true;
    }

    bool ExitCode(const Process& process, uint32_t& code) override {
        DWORD exit = 0;
        if (!process.process || !GetExitCodeProcess(process.process, &exit)) return false;
        code = exit;
        return true;
    }

    void CloseProcess(Process& process) override {
        if (process.process) CloseHandle(process.process);
        if (process.thread) CloseHandle(process.thread);
        process = Process{};
    }

    void Sleep(uint32_t ms) override { ::Sleep(ms); }
    uint32_t TickCount() override { return GetTickCount(); }

    bool FileExists(const std::string& path) override {
        if (path.empty()) return false;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    uint32_t SyncStatus(const std::string& hotSyncPath) override {
        if (!looked_) {
            looked_ = true;
            // No "cannot find" box from the system while we look for a library that may not
            // be there.
            const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
            const auto slash = hotSyncPath.find_last_of("\\/");
            if (slash != std::string::npos)
                hsapi_ = LoadLibraryA((hotSyncPath.substr(0, slash + 1) + "hsapi.dll").c_str());
            if (!hsapi_) hsapi_ = LoadLibraryA("hsapi.dll");
            SetErrorMode(oldMode);
            if (hsapi_)
                getStatus_ = reinterpret_cast<SyncStatusFunction>(
                    reinterpret_cast<void*>(GetProcAddress(hsapi_, "HsGetSyncStatus")));
        }
        DWORD status = 0;
        if (getStatus_) getStatus_(&status);
        return status;
    }

private:
    bool looked_ = false;
    HMODULE hsapi_ = nullptr;
    SyncStatusFunction getStatus_ = nullptr;
};

}  // namespace

std::unique_ptr<DesktopEdge> MakeDesktopEdge() { return std::make_unique<Win32Desktop>(); }
