#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "cli/ConsoleEdge.h"

namespace {

volatile sig_atomic_t gInterrupts = 0;

// The requests to end that stop an update at its next step rather than in the middle of one.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Only what is safe in a signal handler: write(2) of fixed texts and _exit.
void Say(const char* text, size_t length) { (void)!::write(STDERR_FILENO, text, length); }

void OnInterrupt(int signal) {
    if (gInterrupts > 0) {
        static const char kBye[] = "\nkestrel-flash: interrupted again, stopping at once\n";
        Say(kBye, sizeof kBye - 1);
        ::_exit(128 + signal);
    }
    gInterrupts = 1;
    static const char kStopping[] =
        "\nkestrel-flash: stopping at the next step (Ctrl-C again quits at once)\n";
    static const char kEnding[] =
        "\nkestrel-flash: asked to end, stopping at the next step (a second request quits at "
        "once)\n";
    if (signal == SIGINT)
        Say(kStopping, sizeof kStopping - 1);
    else
        Say(kEnding, sizeof kEnding - 1);
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
        for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
    }

    bool Interrupted() override { return gInterrupts != 0; }

    bool StderrIsTerminal() override { return ::isatty(STDERR_FILENO) == 1; }

    std::string ProgramDirectory() override {
        std::error_code error;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) return {};
        return self.parent_path().string();
    }
};

}  // namespace

std::unique_ptr<ConsoleEdge> MakeConsoleEdge() { return std::make_unique<PosixConsole>(); }
