// Natively there is no Windows desktop: no HotSync Manager window ever exists, no HotSync
// Manager can be started, and no HotSync is in progress. Files and time are real.
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "hotsync/DesktopEdge.h"

namespace {

class NoDesktop final : public DesktopEdge {
public:
    Window FindTopWindow(const std::string&) override { return nullptr; }
    bool WindowExists(Window) override { return false; }
    void Send(Window, uint32_t, uintptr_t, intptr_t) override {}
    void Post(Window, uint32_t, uintptr_t, intptr_t) override {}
    void BringToTop(Window) override {}
    void ProcessMessages() override {}
    bool StartProcess(const std::string&, const std::string&, Process&) override { return false; }
    bool ExitCode(const Process&, uint32_t&) override { return false; }
    void CloseProcess(Process& process) override { process = Process{}; }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    uint32_t TickCount() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    bool FileExists(const std::string& path) override {
        std::error_code error;
        return !path.empty() && std::filesystem::is_regular_file(path, error);
    }
    uint32_t SyncStatus(const std::string&) override { return 0; }
};

}  // namespace

std::unique_ptr<DesktopEdge> MakeDesktopEdge() { return std::make_unique<NoDesktop>(); }
