// wire_tap: palmsim behind a counting pseudo-terminal of its own, for benchmarks of programs
// whose serial port we cannot reach into (the wizard under Wine). It is started as palmsim
// is, with palmsim's own arguments after "--"; it starts palmsim, serves the desktop on a
// pseudo-terminal of its own (printed first, and linked where palmsim's --link says), and
// passes every byte across, counting it by the line speed the desktop set. That speed goes on
// to palmsim's terminal before the bytes sent at it, so palmsim paces and judges them as if
// the desktop were its own. palmsim's signals (saving, resets, the end) are passed on.
//
// The counts are written to the tally file, whole (renamed into place), while bytes cross
// and once the line has gone quiet; a reader takes two looks and subtracts.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/CountingSerialEdge.h"
#include "link/LineSpeed_posix.h"
#include "sim/Pty.h"
#include "testing/ChildProcess.h"

namespace {

const char* kUsage =
    "usage: wire_tap --palmsim PATH --tally FILE -- [PALMSIM OPTIONS...]\n"
    "\n"
    "Starts palmsim with its options, serves the desktop on a pseudo-terminal of its own\n"
    "(the first line printed; linked where palmsim's --link would have been) and passes\n"
    "every byte on to palmsim, counting it by the line speed in force. FILE gets lines\n"
    "\"speed BPS out N in N\" (out: from the desktop) and \"bound_s S\", the line's own time\n"
    "for those bytes at 10 bits a byte. TERM, INT, HUP, USR1, USR2 and RTMIN+1 go on to\n"
    "palmsim; the exit status is palmsim's.\n";

constexpr int kStartupMs = 10'000;
constexpr int kStopWaitMs = 60'000;  // palmsim writes its whole state when it ends
constexpr int kPollMs = 10;
constexpr auto kTallyEvery = std::chrono::milliseconds(200);

volatile sig_atomic_t gForward[64] = {};
volatile sig_atomic_t gStop = 0;

void OnSignal(int signal) {
    if (signal == SIGTERM || signal == SIGINT || signal == SIGHUP) gStop = signal;
    if (signal >= 0 && signal < 64) gForward[signal] = 1;
}

int BootSignal() { return SIGRTMIN + 1; }

bool SetSpeed(int fd, uint32_t bps) {
    speed_t code;
    if (!TermiosSpeedCode(bps, code)) return false;
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return false;
    cfsetispeed(&settings, code);
    cfsetospeed(&settings, code);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// The desktop's name for the device: a link that goes when the tap does, unless another has
// taken the name over meanwhile.
class Link {
public:
    bool Make(const std::string& path, const std::string& target) {
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0) {
            if (!S_ISLNK(info.st_mode)) {
                std::fprintf(stderr, "wire_tap: %s exists and is not a link\n", path.c_str());
                return false;
            }
            unlink(path.c_str());
        }
        if (symlink(target.c_str(), path.c_str()) != 0) {
            std::fprintf(stderr, "wire_tap: cannot link %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
        path_ = path;
        target_ = target;
        return true;
    }
    ~Link() {
        if (path_.empty()) return;
        char pointsTo[512];
        const ssize_t length = readlink(path_.c_str(), pointsTo, sizeof pointsTo - 1);
        if (length > 0 && std::string_view(pointsTo, static_cast<size_t>(length)) == target_)
            unlink(path_.c_str());
    }

private:
    std::string path_, target_;
};

// Bytes on their way to one end, kept while that end cannot take them.
struct Outbox {
    std::vector<uint8_t> bytes;
    size_t sent = 0;

    bool Empty() const { return sent == bytes.size(); }
    // False when the end has gone.
    bool Drain(int fd) {
        while (!Empty()) {
            const ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
            if (n > 0) {
                sent += static_cast<size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                return true;
            } else {
                return false;
            }
        }
        bytes.clear();
        sent = 0;
        return true;
    }
};

void WriteTally(const std::string& path, const WireTally& tally) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary);
        for (const WireTally::AtSpeed& s : tally.speeds)
            out << "speed " << s.bitsPerSecond << " out " << s.written << " in " << s.read << "\n";
        out << "bound_s " << tally.LineSeconds() << "\n";
        if (!out) return;
    }
    std::rename(temporary.c_str(), path.c_str());
}

struct Options {
    std::string palmsim, tally, link;
    std::vector<std::string> palmsimArgs;
};

// 0 to go on, -1 for the help, otherwise the exit status.
int Parse(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--") {
            ++i;
            break;
        }
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (i + 1 >= argc || (name != "--palmsim" && name != "--tally")) {
            std::fprintf(stderr, "wire_tap: bad option %s\n%s", name.c_str(), kUsage);
            return 2;
        }
        (name == "--palmsim" ? options.palmsim : options.tally) = argv[++i];
    }
    // The desktop's link is ours: palmsim gets none.
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--link" && i + 1 < argc)
            options.link = argv[++i];
        else if (arg.starts_with("--link="))
            options.link = arg.substr(7);
        else
            options.palmsimArgs.push_back(arg);
    }
    if (options.palmsim.empty() || options.tally.empty()) {
        std::fprintf(stderr, "wire_tap: --palmsim and --tally are needed\n%s", kUsage);
        return 2;
    }
    return 0;
}

int Serve(Pty& desktop, int handheld, ChildProcess& palmsim, const std::string& tallyPath) {
    WireTally tally;
    uint32_t speed = desktop.DesktopSpeed();
    if (speed == 0) speed = 57600;
    (void)SetSpeed(handheld, speed);
    Outbox toHandheld, toDesktop;
    std::vector<uint8_t> buffer(65536);
    bool dirty = true;
    auto written = std::chrono::steady_clock::now() - kTallyEvery;
    const int forwarded[] = {SIGUSR1, SIGUSR2, BootSignal()};

    while (!gStop) {
        for (int s : forwarded)
            if (gForward[s]) {
                gForward[s] = 0;
                palmsim.Signal(s);
            }
        desktop.ReleaseExclusive();
        // The speed goes on before any byte sent at it.
        if (const uint32_t now = desktop.DesktopSpeed(); now != 0 && now != speed) {
            speed = now;
            if (!SetSpeed(handheld, speed))
                std::fprintf(stderr, "wire_tap: palmsim's terminal refused %u bit/s\n", speed);
        }

        pollfd fds[2] = {
            {desktop.MasterFd(),
             static_cast<short>((toHandheld.Empty() ? POLLIN : 0) |
                                (toDesktop.Empty() ? 0 : POLLOUT)),
             0},
            {handheld,
             static_cast<short>((toDesktop.Empty() ? POLLIN : 0) |
                                (toHandheld.Empty() ? 0 : POLLOUT)),
             0},
        };
        const int ready = poll(fds, 2, kPollMs);
        if (ready < 0 && errno != EINTR) {
            std::perror("wire_tap: poll");
            return 1;
        }
        const auto now = std::chrono::steady_clock::now();
        if (ready <= 0) {
            // The line is quiet: the counts so far are the reader's.
            if (dirty) {
                WriteTally(tallyPath, tally);
                written = now;
                dirty = false;
            }
            continue;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(desktop.MasterFd(), buffer.data(), buffer.size());
            if (n > 0) {
                // Sent at the speed in force when the desktop wrote them; it is set above.
                if (const uint32_t at = desktop.DesktopSpeed(); at != 0 && at != speed) {
                    speed = at;
                    (void)SetSpeed(handheld, speed);
                }
                toHandheld.bytes.assign(buffer.begin(), buffer.begin() + n);
                tally.At(speed).written += static_cast<uint64_t>(n);
                dirty = true;
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = read(handheld, buffer.data(), buffer.size());
            if (n > 0) {
                toDesktop.bytes.assign(buffer.begin(), buffer.begin() + n);
                tally.At(speed).read += static_cast<uint64_t>(n);
                dirty = true;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            // palmsim has gone.
            break;
        }
        if (!toHandheld.Drain(handheld)) break;
        // A desktop that has closed its port loses what it would not read, as on a cable.
        if (!toDesktop.Drain(desktop.MasterFd())) toDesktop = {};
        if (dirty && now - written >= kTallyEvery) {
            WriteTally(tallyPath, tally);
            written = now;
            dirty = false;
        }
    }
    WriteTally(tallyPath, tally);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = Parse(argc, argv, options); status != 0) return status < 0 ? 0 : status;

    // palmsim first: it must not inherit the handlers below.
    ChildProcess palmsim;
    if (!palmsim.Start(options.palmsim, options.palmsimArgs, true)) {
        std::fprintf(stderr, "wire_tap: cannot start %s\n", options.palmsim.c_str());
        return 1;
    }
    const std::string device = palmsim.FirstLine(kStartupMs);
    if (device.empty()) {
        std::fprintf(stderr, "wire_tap: palmsim named no device\n");
        return palmsim.Finish(SIGTERM, kStopWaitMs) == 0 ? 1 : 2;
    }
    const int handheld = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    if (handheld < 0 || tcgetattr(handheld, &raw) != 0) {
        std::fprintf(stderr, "wire_tap: cannot open %s: %s\n", device.c_str(),
                     std::strerror(errno));
        palmsim.Finish(SIGTERM, kStopWaitMs);
        return 1;
    }
    cfmakeraw(&raw);
    (void)tcsetattr(handheld, TCSANOW, &raw);

    std::string error;
    std::unique_ptr<Pty> desktop = Pty::Create(error);
    Link link;
    if (!desktop || (!options.link.empty() && !link.Make(options.link, desktop->SlavePath()))) {
        if (!desktop) std::fprintf(stderr, "wire_tap: %s\n", error.c_str());
        palmsim.Finish(SIGTERM, kStopWaitMs);
        return 1;
    }

    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, BootSignal()}) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        sigaction(s, &action, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
    std::printf("%s\n", desktop->SlavePath().c_str());
    std::fflush(stdout);

    const int served = Serve(*desktop, handheld, palmsim, options.tally);
    close(handheld);
    const int status = palmsim.Finish(gStop ? gStop : SIGTERM, kStopWaitMs);
    return served != 0 ? served : status < 0 ? 1 : status;
}
