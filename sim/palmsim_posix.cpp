// palmsim: a simulated handheld on a pseudo-terminal, in real time. The desktop (the wizard
// under Wine, kestrel-flash, a test) opens the printed device as its serial port.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Bootlet.h"
#include "sim/Handheld.h"
#include "sim/HandheldConfig.h"
#include "sim/HandheldState.h"
#include "sim/Pty.h"
#include "sim/SimLine.h"

namespace {

constexpr const char* kUsage =
    "usage: palmsim [options]\n"
    "       palmsim --write-loader PATH\n"
    "\n"
    "A simulated handheld (ROM debugger, Bootlet loader, flash chips, RAM) on a\n"
    "pseudo-terminal. The first line on stdout is the device to open as the serial port.\n"
    "\n"
    "  --state DIR            the handheld's state directory: flash.bin, ram.bin and\n"
    "                         handheld.conf are read at start and written at the end\n"
    "                         (made then if it does not exist); its databases are in\n"
    "                         ram/, rom/, rom-added/ and install/ (see the handheld tool)\n"
    "  --link PATH            also make PATH a symbolic link to the device (for example\n"
    "                         a Wine prefix's dosdevices/com2)\n"
    "  --chips LIST           flash chips as MANUFACTURER:DEVICE[,...] (0x89:0x8897)\n"
    "  --flash-base ADDR      flash base the loader reports (0x10C00000; 0: by chip size)\n"
    "  --hwid N               hardware id (10)\n"
    "  --battery N            battery percentage (80)\n"
    "  --loader-version N     version the loader reports (32)\n"
    "  --ram-size N           bytes of RAM (1M)\n"
    "  --loader-running       start with the loader running, as after HotSync installed\n"
    "                         it and the handheld was reset; same as --mode loader\n"
    "  --mode MODE            debugger, loader or os (debugger); os starts the loader\n"
    "                         when Bootlet is installed in RAM (ram/)\n"
    "  --fault FAULT          inject a fault; may be repeated (see below)\n"
    "  --seed N               seed of the fault injection (1)\n"
    "  --no-pacing            bytes cross at once instead of at the line speed\n"
    "  --no-garble            a speed mismatch does not garble the bytes\n"
    "  --verbose              trace every packet on stderr\n"
    "  --write-loader PATH    write Bootlet.prc to PATH and exit\n"
    "  --help                 this text\n"
    "\n"
    "Faults:\n"
    "%s"
    "\n"
    "Signals: TERM, INT or HUP write the state and end palmsim; USR1 writes the state;\n"
    "USR2 resets the handheld into its ROM debugger; RTMIN+1 resets it into its OS, as\n"
    "the reset button does (into the loader when Bootlet is installed in RAM).\n"
    "\n"
    "What the desktop does to the handheld's stores shows in the state directory at once\n"
    "(palmsim saves its state then): erasing the RAM store empties ram/ and clears the\n"
    "user name, setting up the flash store afresh empties rom-added/. Files the HotSync\n"
    "side writes after the erase or set-up are kept.\n"
    "\n"
    "Numbers may be decimal or 0x hexadecimal, sizes may end in K or M.\n"
    "\n"
    "Exit status: 0 done; 1 when the state could not be written at the end, or the\n"
    "pseudo-terminal or --link failed; 2 when palmsim refuses to start (a bad option or\n"
    "state directory).\n";

volatile sig_atomic_t gStop = 0;
volatile sig_atomic_t gSave = 0;
volatile sig_atomic_t gReset = 0;
volatile sig_atomic_t gBoot = 0;

// The reset button: the OS starts, and it starts the loader when that is installed.
int BootSignal() { return SIGRTMIN + 1; }

void OnSignal(int signal) {
    if (signal == SIGUSR1)
        gSave = 1;
    else if (signal == SIGUSR2)
        gReset = 1;
    else if (signal == BootSignal())
        gBoot = 1;
    else
        gStop = 1;
}

uint64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(now.tv_nsec);
}

struct Options {
    std::string stateDir;
    std::string linkPath;
    std::string writeLoader;
    bool pacing = true;
    bool garble = true;
    bool verbose = false;
    bool help = false;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "palmsim: %s\n", message.c_str());
    return 2;
}

// Command-line values override the state directory's configuration, so the state is read
// first and the options applied over it.
int ParseArguments(int argc, char** argv, Options& options, HandheldConfig& config) {
    std::vector<std::pair<std::string, std::string>> given;
    static const char* const kWithValue[] = {
        "--state",          "--link",     "--chips", "--flash-base", "--hwid", "--battery",
        "--loader-version", "--ram-size", "--mode",  "--fault",      "--seed", "--write-loader"};
    static const char* const kSwitches[] = {
        "--loader-running", "--no-pacing", "--no-garble", "--verbose", "-v", "--help", "-h"};
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        const size_t equals = name.find('=');
        const bool inline_value = name.starts_with("--") && equals != std::string::npos;
        if (inline_value) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        bool needsValue = false;
        for (const char* option : kWithValue) needsValue = needsValue || name == option;
        if (needsValue && !inline_value) {
            if (i + 1 >= argc) return Fail(name + " needs a value");
            value = argv[++i];
        }
        // A switch given a value ("--no-pacing=0") would otherwise do the opposite of what
        // was asked without a word.
        bool isSwitch = false;
        for (const char* option : kSwitches) isSwitch = isSwitch || name == option;
        if (isSwitch && inline_value) return Fail(name + " takes no value");
        given.emplace_back(name, value);
    }
    for (const auto& [name, value] : given) {
        if (name != "--state") continue;
        // An empty name would silently run without a state directory and save nothing.
        if (value.empty()) return Fail("--state needs a directory");
        options.stateDir = value;
    }
    std::string error;
    std::vector<std::string> warnings;
    if (!options.stateDir.empty() && !LoadStateConfig(options.stateDir, config, warnings, error))
        return Fail(error);
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "palmsim: warning: %s\n", warning.c_str());

    for (const auto& [name, value] : given) {
        uint64_t number = 0;
        auto numberUpTo = [&](uint64_t most) {
            return ParseNumber(value, number) && number <= most;
        };
        if (name == "--state") {
        } else if (name == "--link") {
            options.linkPath = value;
        } else if (name == "--write-loader") {
            options.writeLoader = value;
        } else if (name == "--chips") {
            if (!ParseChipList(value, config.chips, error)) return Fail(error);
        } else if (name == "--flash-base") {
            if (!numberUpTo(0xFFFFFFFF)) return Fail("bad --flash-base " + value);
            config.flashBase = static_cast<uint32_t>(number);
        } else if (name == "--hwid") {
            if (!numberUpTo(0xFFFF)) return Fail("bad --hwid " + value);
            config.hardwareId = static_cast<uint16_t>(number);
        } else if (name == "--battery") {
            if (!numberUpTo(100)) return Fail("bad --battery " + value);
            config.battery = static_cast<uint8_t>(number);
        } else if (name == "--loader-version") {
            if (!numberUpTo(0xFFFF)) return Fail("bad --loader-version " + value);
            config.loaderVersion = static_cast<uint16_t>(number);
        } else if (name == "--ram-size") {
            if (!numberUpTo(0xFFFFFFFF)) return Fail("bad --ram-size " + value);
            config.ramSize = static_cast<uint32_t>(number);
        } else if (name == "--mode") {
            if (!ParseMode(value, config.mode)) return Fail("bad --mode " + value);
        } else if (name == "--loader-running") {
            config.mode = HandheldMode::Loader;
        } else if (name == "--fault") {
            if (!ParseFault(value, config.faults, error)) return Fail(error);
        } else if (name == "--seed") {
            if (!ParseNumber(value, number)) return Fail("bad --seed " + value);
            config.faults.seed = number;
        } else if (name == "--no-pacing") {
            options.pacing = false;
        } else if (name == "--no-garble") {
            options.garble = false;
        } else if (name == "--verbose" || name == "-v") {
            options.verbose = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else {
            return Fail("unknown option " + name + " (see --help)");
        }
    }
    return 0;
}

class LinkGuard {
public:
    bool Make(const std::string& path, const std::string& target, std::string& error) {
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0) {
            if (!S_ISLNK(info.st_mode)) {
                error = path + " exists and is not a symbolic link";
                return false;
            }
            unlink(path.c_str());
        }
        if (symlink(target.c_str(), path.c_str()) != 0) {
            error = "cannot link " + path + ": " + std::strerror(errno);
            return false;
        }
        path_ = path;
        target_ = target;
        return true;
    }
    // Only our own link goes: another palmsim may have taken the name over meanwhile.
    ~LinkGuard() {
        if (path_.empty()) return;
        char pointsTo[512];
        const ssize_t length = readlink(path_.c_str(), pointsTo, sizeof pointsTo - 1);
        if (length > 0 && std::string_view(pointsTo, static_cast<size_t>(length)) == target_)
            unlink(path_.c_str());
    }

private:
    std::string path_;
    std::string target_;
};

// A failed save leaves the previous state as it was; palmsim says so and serves on.
bool Save(const Options& options, const Handheld& handheld, StoreChanges& changes) {
    if (options.stateDir.empty()) return true;
    std::string error;
    if (SaveState(options.stateDir, handheld, changes, error)) return true;
    std::fprintf(stderr, "palmsim: state not saved in %s: %s\n", options.stateDir.c_str(),
                 error.c_str());
    return false;
}

// How often an idle palmsim wakes to lift a desktop's exclusive claim on the device.
constexpr uint64_t kIdleWakeNs = 50'000'000;

// Reply bytes go out in bursts: everything due within this lead, then a sleep until the next
// byte is due. The schedule itself is kept in absolute times, so no sleep adds up.
constexpr uint64_t kBurstLeadNs = 1'000'000;

// Where the handheld's OS goes after a reset.
HandheldMode BootMode(const Options& options, const StoreChanges& changes) {
    return !options.stateDir.empty() && BootletInstalled(options.stateDir, changes)
               ? HandheldMode::Loader
               : HandheldMode::Os;
}

int Serve(const Options& options, Handheld& handheld, StoreChanges& changes, Pty& pty,
          const sigset_t& waitMask) {
    SimLine line(handheld, options.pacing);
    line.SetGarbling(options.garble);
    std::vector<uint8_t> out;
    size_t written = 0;
    std::vector<uint8_t> in(65536);
    while (!gStop) {
        if (gSave) {
            gSave = 0;
            Save(options, handheld, changes);
        }
        if (gReset) {
            gReset = 0;
            handheld.Reset(HandheldMode::RomDebugger);
        }
        if (gBoot) {
            gBoot = 0;
            handheld.Reset(BootMode(options, changes));
        }
        pty.ReleaseExclusive();
        const uint32_t desktopSpeed = pty.DesktopSpeed();
        uint64_t now = MonotonicNs();
        if (written == out.size()) {
            out.clear();
            written = 0;
        }
        line.Deliver(now + kBurstLeadNs, desktopSpeed, out);
        bool blocked = false;
        while (written < out.size()) {
            const ssize_t n = write(pty.MasterFd(), out.data() + written, out.size() - written);
            if (n > 0) {
                written += static_cast<size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                blocked = true;  // the desktop is not reading: wait until it makes room
                break;
            }
        }

        pollfd fd{pty.MasterFd(), static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
        uint64_t next = 0;
        const uint64_t delta = line.NextArrival(next)
                                   ? (next > now ? std::min(next - now, kIdleWakeNs) : 0)
                                   : kIdleWakeNs;
        timespec wait{};
        wait.tv_sec = static_cast<time_t>(delta / 1'000'000'000u);
        wait.tv_nsec = static_cast<long>(delta % 1'000'000'000u);
        const int ready = ppoll(&fd, 1, &wait, &waitMask);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::perror("palmsim: ppoll");
            return 1;
        }
        if (ready == 0) continue;
        if (fd.revents & POLLIN) {
            const ssize_t n = read(pty.MasterFd(), in.data(), in.size());
            if (n > 0)
                line.FromDesktop(in.data(), static_cast<size_t>(n), MonotonicNs(),
                                 pty.DesktopSpeed());
        } else if (fd.revents & (POLLERR | POLLHUP)) {
            // Not expected while palmsim holds the slave open; do not spin on it.
            usleep(10'000);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    HandheldConfig config;
    if (const int bad = ParseArguments(argc, argv, options, config); bad != 0) return bad;
    if (options.help) {
        std::printf(kUsage, FaultHelp());
        return 0;
    }
    std::string error;
    if (!options.writeLoader.empty()) {
        if (!WriteBootletPrc(options.writeLoader, error)) return Fail(error);
        return 0;
    }
    if (const std::string problem = ValidateConfig(config); !problem.empty()) return Fail(problem);
    StoreChanges changes;
    if (config.mode == HandheldMode::Os) config.mode = BootMode(options, changes);

    Handheld handheld(config);
    if (!options.stateDir.empty() && !LoadStateMemory(options.stateDir, handheld, error))
        return Fail(error);
    if (options.verbose) {
        const uint64_t start = MonotonicNs();
        handheld.SetTrace([start](const std::string& line) {
            std::fprintf(stderr, "%10.3f %s\n", static_cast<double>(MonotonicNs() - start) / 1e6,
                         line.c_str());
        });
    }

    if (!options.stateDir.empty()) {
        // A real handheld's stores change at once: the HotSync side, which reads the state
        // directory, must not find the user and databases of a RAM store already erased.
        handheld.SetStoreListener([&options, &changes](StoreEvent event) {
            for (const std::string& kept : NoteStoreEvent(options.stateDir, event, changes))
                std::fprintf(stderr, "palmsim: warning: %s\n", kept.c_str());
            gSave = 1;
        });
    }

    // The signals are held back except inside ppoll, so none slips in between a check of
    // the flags and the wait.
    const int handled[] = {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, BootSignal()};
    sigset_t held;
    sigemptyset(&held);
    for (int s : handled) sigaddset(&held, s);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &held, &waitMask);
    for (int s : handled) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        sigaction(s, &action, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<Pty> pty = Pty::Create(error);
    if (!pty) {
        std::fprintf(stderr, "palmsim: %s\n", error.c_str());
        return 1;
    }
    LinkGuard link;
    if (!options.linkPath.empty() && !link.Make(options.linkPath, pty->SlavePath(), error)) {
        std::fprintf(stderr, "palmsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", pty->SlavePath().c_str());
    std::fflush(stdout);

    const int result = Serve(options, handheld, changes, *pty, waitMask);
    // Whoever ran palmsim must learn that the handheld's last state is not on disk.
    const bool saved = Save(options, handheld, changes);
    return result != 0 ? result : saved ? 0 : 1;
}
