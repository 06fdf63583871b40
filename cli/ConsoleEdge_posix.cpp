#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "cli/ConsoleEdge.h"

namespace {

volatile sig_atomic_t gInterrupts = 0;

void OnInterrupt(int) {
    if (gInterrupts > 0) {
        static const char kBye[] = "\nkestrel-flash: interrupted again, stopping at once\n";
        (void)!::write(STDERR_FILENO, kBye, sizeof kBye - 1);
        ::_exit(130);
    }
    gInterrupts = 1;
    static const char kStopping[] =
        "\nkestrel-flash: stopping at the next step (Ctrl-C again quits at once)\n";
    (void)!::write(STDERR_FILENO, kStopping, sizeof kStopping - 1);
}

class PosixConsole final : public ConsoleEdge {
public:
    void CatchInterrupts() override {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        // Restarted calls: the engine's reads and sleeps must not fail because of the key
        // press; the request is seen at the next progress point instead.
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
    }

    bool Interrupted() override { return gInterrupts != 0; }

    bool StderrIsTerminal() override { return ::isatty(STDERR_FILENO) == 1; }

    bool IsSerialDevice(const std::string& path) override {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return true;
        const bool terminal = ::isatty(fd) == 1;
        ::close(fd);
        return terminal;
    }

    std::string ProgramDirectory() override {
        std::error_code error;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) return {};
        return self.parent_path().string();
    }
};

}  // namespace

std::unique_ptr<ConsoleEdge> MakeConsoleEdge() { return std::make_unique<PosixConsole>(); }
