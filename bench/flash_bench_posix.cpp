// flash_bench: how close a whole OS flash comes to the time the serial line itself needs.
//
// A simulated handheld (palmsim, paced at the line speed in force) gets an OS image whose
// every section differs from its blank flash, through the engine as the wizard drives it in
// normal mode; then the same image again onto the handheld that now holds it, where only
// checksums cross. Every byte on the line is counted at the speed it crossed at, which gives
// the least time the transfer could take; the wall time is set against it, and the CPU the
// flasher spent against the wall time.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/CountingSerialEdge.h"
#include "image/UpdateImage.h"
#include "link/Commands.h"
#include "link/Guicallback.h"
#include "link/Pilotmanager.h"
#include "testing/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;
constexpr uint32_t kBlockBytes = 4096;   // the engine flashes in blocks of this size
constexpr uint32_t kMostSections = 100;  // an OS map holds no more
constexpr int kStopWaitMs = 30'000;      // palmsim writes the whole flash image when it ends
constexpr double kWallGoal = 1.05;
constexpr double kCpuGoal = 0.10;

volatile sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

const char* kUsage =
    "usage: flash_bench [options]\n"
    "\n"
    "Flashes an OS image onto a blank simulated handheld through palmsim, paced at the\n"
    "line speed (57600 bit/s, then 115200 once the loader answers), and again onto the\n"
    "handheld that holds it; prints wall time, the line's own time for the bytes that\n"
    "crossed, their ratio and the CPU time spent.\n"
    "\n"
    "  --size N           bytes of OS image (4M); a multiple of 4K\n"
    "  --section N        bytes per OS section (64K); a multiple of 4K\n"
    "  --chips LIST       palmsim's flash chips (its default: 0x89:0x8897, 4 MiB)\n"
    "  --palmsim PATH     the palmsim program (the one built beside this benchmark)\n"
    "  --mkupd PATH       the mkupd program (likewise)\n"
    "  --palmsim-arg ARG  one more argument for palmsim, e.g. --no-pacing to see the\n"
    "                     software's own share (may be repeated)\n"
    "  --pump             bind an idle hook that does nothing, as the wizard binds its\n"
    "                     message pump: waits and long writes go in slices, and the\n"
    "                     longest stretch without the hook or a progress report is shown\n"
    "  --keep             keep the work folder (update file, handheld state)\n"
    "  --help             this text\n"
    "\n"
    "Sizes may be decimal or 0x hexadecimal and end in K or M.\n";

struct Settings {
    uint32_t imageBytes = 4 * MiB;
    uint32_t sectionBytes = 64 * KiB;
    std::string chips;
    std::vector<std::string> palmsimArgs;
    std::string palmsim = KESTREL_BENCH_PALMSIM;
    std::string mkupd = KESTREL_BENCH_MKUPD;
    bool keep = false;
    bool pump = false;
};

bool ParseSize(const std::string& text, uint32_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long number = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str()) return false;
    const std::string suffix(end);
    unsigned long long unit = 1;
    if (suffix == "K" || suffix == "k")
        unit = KiB;
    else if (suffix == "M" || suffix == "m")
        unit = MiB;
    else if (!suffix.empty())
        return false;
    if (number == 0 || number > 0xFFFFFFFFull / unit) return false;
    number *= unit;
    value = static_cast<uint32_t>(number);
    return true;
}

// 0 to go on, -1 when the help was asked for, otherwise the exit status.
int ParseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (name == "--keep") {
            settings.keep = true;
            continue;
        }
        if (name == "--pump") {
            settings.pump = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "flash_bench: %s needs a value (see --help)\n", name.c_str());
            return 2;
        }
        const std::string value = argv[++i];
        bool good = true;
        if (name == "--size")
            good = ParseSize(value, settings.imageBytes);
        else if (name == "--section")
            good = ParseSize(value, settings.sectionBytes);
        else if (name == "--chips")
            settings.chips = value;
        else if (name == "--palmsim")
            settings.palmsim = value;
        else if (name == "--mkupd")
            settings.mkupd = value;
        else if (name == "--palmsim-arg")
            settings.palmsimArgs.push_back(value);
        else {
            std::fprintf(stderr, "flash_bench: unknown option %s (see --help)\n", name.c_str());
            return 2;
        }
        if (!good) {
            std::fprintf(stderr, "flash_bench: bad %s %s\n", name.c_str(), value.c_str());
            return 2;
        }
    }
    if (settings.imageBytes % kBlockBytes != 0 || settings.sectionBytes % kBlockBytes != 0) {
        std::fprintf(stderr, "flash_bench: --size and --section must be multiples of 4K\n");
        return 2;
    }
    const uint32_t sections =
        (settings.imageBytes + settings.sectionBytes - 1) / settings.sectionBytes;
    if (sections > kMostSections) {
        std::fprintf(stderr, "flash_bench: %u sections; an update file holds at most %u\n",
                     sections, kMostSections);
        return 2;
    }
    return 0;
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double CpuSeconds(const rusage& usage) { return Seconds(usage.ru_utime) + Seconds(usage.ru_stime); }

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// The wizard's upload page in miniature: no window to tell, but an interrupt of the
// benchmark becomes the abort request the engine honours at its next block. With a pump,
// the times the front end got the thread (progress reports and idle calls) are kept.
class BenchCallback final : public GuiCallback {
public:
    explicit BenchCallback(bool pump) {
        if (pump) SetIdleHook([this] { Handed(); });
    }
    void Progress(int32_t) override {
        Handed();
        if (gInterrupted) RequestAbort();
    }

    // From here on, the longest stretch without the thread and the calls counted anew.
    void Restart() {
        last_ = std::chrono::steady_clock::now();
        longest_ = 0;
        calls_ = 0;
    }
    // Up to now.
    double LongestMs() const {
        const auto now = std::chrono::steady_clock::now();
        return std::max(longest_, std::chrono::duration<double, std::milli>(now - last_).count());
    }
    uint64_t Calls() const { return calls_; }

private:
    void Handed() {
        const auto now = std::chrono::steady_clock::now();
        longest_ =
            std::max(longest_, std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
        ++calls_;
    }

    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
    double longest_ = 0;
    uint64_t calls_ = 0;
};

struct Step {
    std::string name;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    WireTally wire;
    TResult result = 0;
};

struct Session {
    std::vector<Step> steps;
    double palmsimCpuSeconds = -1;
    double longestWithoutFrontEndMs = -1;  // with a pump only
    uint64_t frontEndCalls = 0;
    bool ok = true;
};

// Runs `work` as one step of `session`, timing it and taking what crossed the line meanwhile.
void RunStep(Session& session, const std::string& name, const WireTally& tally,
             const std::function<TResult()>& work) {
    if (!session.ok) return;
    Step step;
    step.name = name;
    const WireTally before = tally;
    const double cpuBefore = OwnCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    step.result = work();
    const auto end = std::chrono::steady_clock::now();
    step.cpuSeconds = OwnCpuSeconds() - cpuBefore;
    step.wallSeconds = std::chrono::duration<double>(end - start).count();
    step.wire = tally.Since(before);
    if (step.result != 0) {
        std::fprintf(stderr, "flash_bench: %s failed with %d\n", name.c_str(), step.result);
        session.ok = false;
    }
    if (gInterrupted) session.ok = false;
    session.steps.push_back(std::move(step));
}

enum class Kind { FirstFlash, Reflash };

// One palmsim run on the state folder and one engine session against it.
Session RunSession(Kind kind, const Settings& settings, const fs::path& stateDir,
                   const fs::path& updPath, BenchCallback& callback) {
    Session session;
    std::vector<std::string> args = {"--state", stateDir.string(), "--loader-running"};
    if (!settings.chips.empty()) {
        args.push_back("--chips");
        args.push_back(settings.chips);
    }
    args.insert(args.end(), settings.palmsimArgs.begin(), settings.palmsimArgs.end());
    PalmsimProcess palmsim(settings.palmsim, args);
    const std::string device = palmsim.Device();
    if (device.empty()) {
        std::fprintf(stderr, "flash_bench: %s printed no device\n", settings.palmsim.c_str());
        session.ok = false;
        return session;
    }

    WireTally tally;
    {
        TPilotManager manager(&callback,
                              std::make_unique<CountingSerialEdge>(MakeSerialEdge(), &tally));
        manager.Options().highSpeed = true;
        callback.Restart();
        RunStep(session, "OpenPort + StartLoader", tally, [&] {
            if (const TResult r = manager.OpenPort(device.c_str())) return r;
            return manager.StartLoader();
        });
        if (kind == Kind::FirstFlash) {
            RunStep(session, "battery, capacity, RAM erase", tally, [&] {
                if (const TResult r = manager.CheckBattery()) return r;
                uint32_t capacity = 0;
                if (const TResult r = manager.FlashCapacity(&capacity)) return r;
                if (capacity < settings.imageBytes) {
                    std::fprintf(stderr, "flash_bench: the handheld has %u bytes of flash\n",
                                 capacity);
                    return rc::PastEndOfFlash;
                }
                return manager.EraseRamStore();
            });
        }
        // Read before the clock starts: the flash is what is measured.
        std::shared_ptr<const UpdateImage> image;
        (void)UpdateImage::Load(updPath.c_str(), image);
        RunStep(session, "FlashOsImage", tally, [&] { return manager.FlashOsImage(image); });
        // Leaves the loader and closes the port whatever happened before.
        const bool wasOk = session.ok;
        session.ok = true;
        RunStep(session, "Disconnect", tally, [&] { return manager.Disconnect(); });
        session.ok = session.ok && wasOk;
        if (settings.pump) {
            session.longestWithoutFrontEndMs = callback.LongestMs();
            session.frontEndCalls = callback.Calls();
        }
    }

    double palmsimCpu = 0;
    if (palmsim.Stop(SIGTERM, kStopWaitMs, &palmsimCpu) != 0) {
        std::fprintf(stderr, "flash_bench: palmsim did not end cleanly\n");
        session.ok = false;
    } else {
        session.palmsimCpuSeconds = palmsimCpu;
    }
    return session;
}

bool MakeUpdateFile(const Settings& settings, const fs::path& dir, const fs::path& updPath) {
    const fs::path description = dir / "image.txt";
    {
        std::ofstream out(description);
        // Minor 2: no flash-store finalisation, so the figures are the flash alone.
        out << "device 11\nminor 2\n";
        uint32_t seed = 1;
        for (uint32_t offset = 0; offset < settings.imageBytes; offset += settings.sectionBytes) {
            const uint32_t size = std::min(settings.sectionBytes, settings.imageBytes - offset);
            // A seed of its own for every section, so no two sections share a checksum.
            out << "os 0x" << std::hex << offset << " pattern " << std::dec << seed++ << " 0x"
                << std::hex << size << std::dec << "\n";
        }
        if (!out) return false;
    }
    ChildProcess mkupd;
    if (!mkupd.Start(settings.mkupd, {description.string(), updPath.string()}, false)) return false;
    return mkupd.Finish(0, kStopWaitMs, nullptr) == 0;
}

std::string PacketSummary(const WireTally& wire) {
    std::string text;
    for (const LoaderCommandInfo& c : kLoaderCommands) {
        const uint64_t n = wire.packetsByType[c.code];
        if (n == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(n) + " " + c.name;
    }
    return text.empty() ? "none" : text;
}

std::string SpeedSummary(const WireTally& wire) {
    std::string text;
    for (const WireTally::AtSpeed& s : wire.speeds) {
        if (s.written == 0 && s.read == 0) continue;
        if (!text.empty()) text += "; ";
        text += "at " + std::to_string(s.bitsPerSecond) + ": " + std::to_string(s.written) +
                " out, " + std::to_string(s.read) + " in";
    }
    return text;
}

void PrintRow(const char* name, double wall, const WireTally& wire, double cpu) {
    const double bound = wire.LineSeconds();
    char ratio[32] = "-";
    if (bound > 0) std::snprintf(ratio, sizeof ratio, "%.4f", wall / bound);
    std::printf("  %-30s %10.3f %10.3f %8s %10llu %9llu %8llu %8.3f\n", name, wall, bound, ratio,
                static_cast<unsigned long long>(wire.Written()),
                static_cast<unsigned long long>(wire.Read()),
                static_cast<unsigned long long>(wire.Packets()), cpu);
}

struct Totals {
    double wall = 0;
    double cpu = 0;
    WireTally wire;
};

Totals Sum(const Session& session) {
    Totals totals;
    for (const Step& s : session.steps) {
        totals.wall += s.wallSeconds;
        totals.cpu += s.cpuSeconds;
        for (const WireTally::AtSpeed& at : s.wire.speeds) {
            WireTally::AtSpeed& into = totals.wire.At(at.bitsPerSecond);
            into.written += at.written;
            into.read += at.read;
        }
        for (size_t t = 0; t < s.wire.packetsByType.size(); ++t)
            totals.wire.packetsByType[t] += s.wire.packetsByType[t];
    }
    return totals;
}

const Step* FindStep(const Session& session, const std::string& name) {
    for (const Step& s : session.steps)
        if (s.name == name) return &s;
    return nullptr;
}

Totals PrintSession(const char* title, const Session& session) {
    std::printf("\n%s\n", title);
    std::printf("  %-30s %10s %10s %8s %10s %9s %8s %8s\n", "step", "wall s", "bound s", "ratio",
                "bytes out", "bytes in", "requests", "CPU s");
    for (const Step& s : session.steps)
        PrintRow(s.name.c_str(), s.wallSeconds, s.wire, s.cpuSeconds);
    const Totals totals = Sum(session);
    PrintRow("session (OpenPort .. Disconnect)", totals.wall, totals.wire, totals.cpu);
    std::printf("  line speeds: %s\n", SpeedSummary(totals.wire).c_str());
    if (const Step* flash = FindStep(session, "FlashOsImage")) {
        std::printf("  FlashOsImage requests: %s\n", PacketSummary(flash->wire).c_str());
        const uint64_t packets = flash->wire.Packets();
        if (packets != 0)
            std::printf("  FlashOsImage time over the bound: %.3f s, %.3f ms per request\n",
                        flash->wallSeconds - flash->wire.LineSeconds(),
                        1000 * (flash->wallSeconds - flash->wire.LineSeconds()) /
                            static_cast<double>(packets));
    }
    std::printf("  flasher CPU (this process, user+sys): %.3f s = %.2f %% of the wall time\n",
                totals.cpu, totals.wall > 0 ? 100 * totals.cpu / totals.wall : 0.0);
    if (session.palmsimCpuSeconds >= 0)
        std::printf("  palmsim CPU (whole run, user+sys): %.3f s\n", session.palmsimCpuSeconds);
    if (session.longestWithoutFrontEndMs >= 0)
        std::printf(
            "  front end (idle hook + progress): %llu calls, longest stretch without: %.1f ms\n",
            static_cast<unsigned long long>(session.frontEndCalls),
            session.longestWithoutFrontEndMs);
    return totals;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (const int status = ParseArguments(argc, argv, settings); status != 0)
        return status < 0 ? 0 : status;
    for (const std::string* program : {&settings.palmsim, &settings.mkupd})
        if (access(program->c_str(), X_OK) != 0) {
            std::fprintf(stderr, "flash_bench: %s is not a program (see --help)\n",
                         program->c_str());
            return 2;
        }

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);

    const fs::path base = fs::temp_directory_path() / "kestrel-bench-XXXXXX";
    std::string pattern = base.string();
    if (!mkdtemp(pattern.data())) {
        std::fprintf(stderr, "flash_bench: cannot make a work folder: %s\n", std::strerror(errno));
        return 1;
    }
    const fs::path work = pattern;
    const fs::path updPath = work / "bench.UPD";
    const fs::path stateDir = work / "handheld";

    int status = 0;
    if (!MakeUpdateFile(settings, work, updPath)) {
        std::fprintf(stderr, "flash_bench: mkupd could not make the update file\n");
        status = 1;
    }

    const uint32_t sections =
        (settings.imageBytes + settings.sectionBytes - 1) / settings.sectionBytes;
    if (status == 0) {
        std::printf("OS image: %u KiB in %u sections of up to %u KiB, every one different\n",
                    settings.imageBytes / KiB, sections, settings.sectionBytes / KiB);
        std::string extra;
        for (const std::string& a : settings.palmsimArgs) extra += " " + a;
        std::printf(
            "handheld: palmsim%s, flash chips %s; the line starts at 57600 bit/s, "
            "115200 once the loader answers\n",
            extra.empty() ? " (paced)" : extra.c_str(),
            settings.chips.empty() ? "0x89:0x8897 (its default)" : settings.chips.c_str());
        std::printf(
            "bound: every byte on the line (both directions) x 10 bits / the speed it "
            "crossed at; ratio = wall / bound\n");
        std::printf("front end: %s\n", settings.pump ? "an idle hook is bound (--pump)"
                                                     : "none bound, as kestrel-flash");
        std::printf(
            "StartLoader waits 500 ms for the loader before its first query: in the wall "
            "time, not in the bound\n");
        std::fflush(stdout);
    }

    BenchCallback callback(settings.pump);
    Session first, again;
    if (status == 0) {
        first = RunSession(Kind::FirstFlash, settings, stateDir, updPath, callback);
        if (!first.ok) status = 1;
    }
    if (status == 0) {
        again = RunSession(Kind::Reflash, settings, stateDir, updPath, callback);
        if (!again.ok) status = 1;
    }

    if (!first.steps.empty()) {
        const Totals totals =
            PrintSession("First flash (blank handheld, every section differs)", first);
        const Step* flash = FindStep(first, "FlashOsImage");
        if (flash && flash->result == 0 &&
            flash->wire.packetsByType[loader::ProgramFlash] != settings.imageBytes / kBlockBytes) {
            std::printf(
                "  WARNING: %llu blocks programmed, %u expected\n",
                static_cast<unsigned long long>(flash->wire.packetsByType[loader::ProgramFlash]),
                settings.imageBytes / kBlockBytes);
        }
        if (first.ok && totals.wire.LineSeconds() > 0) {
            const double ratio = totals.wall / totals.wire.LineSeconds();
            const double cpu = totals.cpu / totals.wall;
            std::printf("\nGoals (first flash, OpenPort .. Disconnect)\n");
            std::printf("  wall within 5 %% of the bound: ratio %.4f (%+.2f %%) -> %s\n", ratio,
                        100 * (ratio - 1), ratio <= kWallGoal ? "met" : "MISSED");
            std::printf("  flasher CPU under 10 %% of the wall time: %.2f %% -> %s\n", 100 * cpu,
                        cpu < kCpuGoal ? "met" : "MISSED");
        }
    }
    if (!again.steps.empty()) {
        PrintSession("Re-flash (palmsim restarted on the same state: the handheld holds the image)",
                     again);
        const Step* flash = FindStep(again, "FlashOsImage");
        if (flash && flash->result == 0) {
            const uint64_t written = flash->wire.packetsByType[loader::EraseBlock] +
                                     flash->wire.packetsByType[loader::ProgramFlash];
            if (written == 0)
                std::printf("  nothing erased or programmed: the handheld kept the image\n");
            else
                std::printf("  WARNING: %llu erase/program packets; the image did not stay\n",
                            static_cast<unsigned long long>(written));
        }
    }

    if (settings.keep) {
        std::printf("\nwork folder kept: %s\n", work.c_str());
    } else {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }
    if (gInterrupted) {
        std::fprintf(stderr, "flash_bench: interrupted\n");
        return 130;
    }
    return status;
}
