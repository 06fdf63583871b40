// Test equipment: a desktop held in memory, with windows by title, files, a clock that moves
// when the code under test sleeps, and a HotSync Manager that opens its main window when
// started and closes it, ending its process, when it is sent the exit request.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hotsync/DesktopEdge.h"
#include "hotsync/HotSyncManager.h"

struct DesktopWorld {
    std::map<uintptr_t, std::string> windows;  // handle -> title
    std::set<std::string> files;
    uint32_t syncStatus = 0;
    uint32_t now = 1000;
    bool hotSyncObeysExit = true;
    // How long a started HotSync Manager takes to show its main window.
    uint32_t windowDelayMs = 0;
    std::vector<std::string> events;  // "start", "exit request", "top <title>"
    // Called each time the code under test lets the desktop run (messages, sleeps): a user
    // closing a dialog after a while.
    std::function<void()> onIdle;

    uintptr_t next = 0x100;
    struct Proc {
        uint32_t exitCode = 259;
        uintptr_t window = 0;   // none until it is shown
        uint32_t windowAt = 0;  // when it is shown
    };
    std::map<uintptr_t, Proc> processes;
    std::string lastCommandLine, lastDirectory;

    uintptr_t OpenWindow(const std::string& title) {
        windows[next] = title;
        return next++;
    }
    void CloseWindow(const std::string& title) {
        for (auto it = windows.begin(); it != windows.end(); ++it)
            if (it->second == title) {
                windows.erase(it);
                return;
            }
    }
    bool HasWindow(const std::string& title) const {
        for (const auto& [handle, t] : windows)
            if (t == title) return true;
        return false;
    }
    // HotSync Manager running without the wizard's doing.
    void RunHotSyncByHand() { OpenWindow(hotsync::kMainTitle); }
};

class FakeDesktop final : public DesktopEdge {
public:
    explicit FakeDesktop(std::shared_ptr<DesktopWorld> world) : w_(std::move(world)) {}

    Window FindTopWindow(const std::string& title) override {
        for (const auto& [handle, t] : w_->windows)
            if (t == title) return reinterpret_cast<Window>(handle);
        return nullptr;
    }
    bool WindowExists(Window window) override {
        return w_->windows.count(reinterpret_cast<uintptr_t>(window)) != 0;
    }
    void Send(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        const auto handle = reinterpret_cast<uintptr_t>(window);
        const auto it = w_->windows.find(handle);
        if (it == w_->windows.end() || it->second != hotsync::kMainTitle) return;
        if (message != hotsync::kExitMessage || wParam != 1 || lParam != 0) return;
        w_->events.push_back("exit request");
        if (!w_->hotSyncObeysExit) return;
        w_->windows.erase(it);
        for (auto& [id, proc] : w_->processes)
            if (proc.window == handle) proc.exitCode = 0;
    }
    void Post(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        Send(window, message, wParam, lParam);
    }
    void BringToTop(Window window) override {
        w_->events.push_back("top " + w_->windows[reinterpret_cast<uintptr_t>(window)]);
    }
    void ProcessMessages() override { Idle(); }
    bool StartProcess(const std::string& commandLine, const std::string& directory,
                      Process& process) override {
        w_->lastCommandLine = commandLine;
        w_->lastDirectory = directory;
        if (!w_->files.count(commandLine)) return false;
        w_->events.push_back("start");
        const uintptr_t id = w_->next++;
        w_->processes[id] = {259, 0, w_->now + w_->windowDelayMs};
        ShowDueWindows();
        process.process = reinterpret_cast<void*>(id);
        process.processId = static_cast<uint32_t>(id);
        return true;
    }
    bool ExitCode(const Process& process, uint32_t& code) override {
        const auto it = w_->processes.find(reinterpret_cast<uintptr_t>(process.process));
        if (it == w_->processes.end()) return false;
        code = it->second.exitCode;
        return true;
    }
    void CloseProcess(Process& process) override { process = Process{}; }
    void Sleep(uint32_t ms) override {
        w_->now += ms;
        Idle();
    }
    uint32_t TickCount() override { return w_->now++; }
    bool FileExists(const std::string& path) override { return w_->files.count(path) != 0; }
    uint32_t SyncStatus(const std::string&) override { return w_->syncStatus; }

private:
    void Idle() {
        ShowDueWindows();
        if (w_->onIdle) w_->onIdle();
    }
    void ShowDueWindows() {
        for (auto& [id, proc] : w_->processes)
            if (!proc.window && proc.exitCode == 259 && w_->now >= proc.windowAt)
                proc.window = w_->OpenWindow(hotsync::kMainTitle);
    }
    std::shared_ptr<DesktopWorld> w_;
};
