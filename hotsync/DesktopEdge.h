// What the HotSync environment needs of the desktop: HotSync Manager's windows, found by their
// exact titles, and its process; the wizard's own pending messages; time; files; and the sync
// status that HotSync Manager's library reports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class DesktopEdge {
public:
    using Window = void*;

    // A process this program started: its handles and ids, as the platform gives them.
    struct Process {
        void* process = nullptr;  // none when no process is held
        void* thread = nullptr;
        uint32_t processId = 0;
        uint32_t threadId = 0;
    };

    virtual ~DesktopEdge() = default;

    // A top-level window of any class whose title is exactly `title` (bytes in the ANSI code
    // page); nullptr when there is none.
    virtual Window FindTopWindow(const std::string& title) = 0;
    virtual bool WindowExists(Window window) = 0;
    // Returns once the window procedure has handled the message.
    virtual void Send(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void Post(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void BringToTop(Window window) = 0;
    // Lets this program handle the window messages waiting for it.
    virtual void ProcessMessages() = 0;

    // Starts `commandLine` as it stands (no program name given apart, nothing quoted or
    // added) in `workingDirectory`, inheriting this program's handles and environment.
    virtual bool StartProcess(const std::string& commandLine, const std::string& workingDirectory,
                              Process& process) = 0;
    // The process's exit code (259 while it runs); false when it cannot be read.
    virtual bool ExitCode(const Process& process, uint32_t& code) = 0;
    virtual void CloseProcess(Process& process) = 0;

    virtual void Sleep(uint32_t ms) = 0;
    virtual uint32_t TickCount() = 0;
    virtual bool FileExists(const std::string& path) = 0;

    // HsGetSyncStatus of hsapi.dll, looked up when first needed, beside the HotSync Manager
    // program at `hotSyncPath`, else where the platform searches. Without hsapi.dll the status
    // reads as 0, so that the wizard runs where Palm Desktop is missing.
    virtual uint32_t SyncStatus(const std::string& hotSyncPath) = 0;
};

std::unique_ptr<DesktopEdge> MakeDesktopEdge();
