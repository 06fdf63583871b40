// wizard_bench: the wizard's flash of a big update file, measured as a user at the desk would
// sit through it. The real Kestrelup.exe, started with "-H", is worked in advanced mode up to
// the upload page on the scenario tests' desk, with paced palmsim behind COM3 through the wire
// tap, which counts every byte on the line. While the upload runs, a prober thread of this
// process sends the upload page a message every few milliseconds and keeps the time of each
// answer, and the abort button is pressed once and its box timed. A second run watches the
// HotSync page while its connect timer waits for a handheld not yet reset.
//
// Run by bench/wizard_run.sh under wizard_world.sh (the Linux half). It prints its figures and
// writes them as "name value" lines into the results file for the script's comparison with
// kestrel-flash.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/PageControls.h"
#include "tests/e2e/wizard/WizardRoads.h"

namespace e2e {
namespace {

struct BenchSettings {
    std::string update;   // Windows path of the update file to flash
    std::string results;  // where the figures go, as "name value" lines
    unsigned probeEveryMs = 20;
    unsigned hotSyncWatchMs = 8000;
};
BenchSettings gSettings;

constexpr const char* kBenchFile = "bench";
constexpr double kAnswerGoalMs = 100;

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMs;
}

// User and kernel time of a process; negative when it cannot be read.
double ProcessCpuSeconds(uint32_t processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process) return -1;
    FILETIME created, ended, kernel, user;
    const BOOL ok = GetProcessTimes(process, &created, &ended, &kernel, &user);
    CloseHandle(process);
    if (!ok) return -1;
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// Sends a window WM_NULL every few milliseconds from a thread of its own and keeps how long
// each answer took: the window's thread answers a sent message only when it looks at its
// queue, so the time is how long the user would wait for a click or a repaint.
class Prober {
public:
    struct Slow {
        double atMs, tookMs;
    };

    ~Prober() { Stop(); }

    void Start(HWND window, double zeroMs, unsigned everyMs) {
        window_ = window;
        zeroMs_ = zeroMs;
        everyMs_ = everyMs;
        running_ = true;
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }

    size_t Count() const { return times_.size(); }
    double Worst() const { return worst_; }
    double WorstAtMs() const { return worstAtMs_; }
    double Percentile(double p) const {
        if (times_.empty()) return 0;
        std::vector<double> sorted = times_;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1,
                               static_cast<size_t>(p * static_cast<double>(sorted.size())))];
    }
    size_t Over(double ms) const {
        return static_cast<size_t>(
            std::count_if(times_.begin(), times_.end(), [ms](double t) { return t > ms; }));
    }
    const std::vector<Slow>& SlowOnes() const { return slow_; }
    size_t Unanswered() const { return unanswered_; }

private:
    void Run() {
        constexpr double kSlowMs = 50;
        constexpr size_t kMostKept = 40;
        while (running_) {
            const double sent = NowMs();
            DWORD_PTR ignored = 0;
            const bool answered =
                SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored) != 0;
            const double took = NowMs() - sent;
            if (!answered) ++unanswered_;
            times_.push_back(took);
            if (took > worst_) {
                worst_ = took;
                worstAtMs_ = sent - zeroMs_;
            }
            if (took > kSlowMs && slow_.size() < kMostKept) slow_.push_back({sent - zeroMs_, took});
            Sleep(everyMs_);
        }
    }

    HWND window_ = nullptr;
    double zeroMs_ = 0;
    unsigned everyMs_ = 20;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::vector<double> times_;
    std::vector<Slow> slow_;
    double worst_ = 0, worstAtMs_ = 0;
    size_t unanswered_ = 0;
};

// The wire tap's counts (bench/wire_tap_posix.cpp) at one moment.
struct Wire {
    std::map<uint32_t, std::pair<uint64_t, uint64_t>> bySpeed;  // out, in

    static Wire Read() {
        Wire wire;
        std::ifstream in(Linux::Work("wire.txt"));
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string speed, out, inWord;
            uint32_t bps = 0;
            uint64_t written = 0, read = 0;
            if (words >> speed >> bps >> out >> written >> inWord >> read && speed == "speed")
                wire.bySpeed[bps] = {written, read};
        }
        return wire;
    }
    Wire Since(const Wire& earlier) const {
        Wire delta = *this;
        for (auto& [bps, counts] : delta.bySpeed)
            if (const auto it = earlier.bySpeed.find(bps); it != earlier.bySpeed.end()) {
                counts.first -= it->second.first;
                counts.second -= it->second.second;
            }
        return delta;
    }
    uint64_t Bytes() const {
        uint64_t total = 0;
        for (const auto& [bps, counts] : bySpeed) total += counts.first + counts.second;
        return total;
    }
    double BoundSeconds() const {
        double seconds = 0;
        for (const auto& [bps, counts] : bySpeed)
            if (bps) seconds += static_cast<double>(counts.first + counts.second) * 10 / bps;
        return seconds;
    }
    std::string Describe() const {
        std::string text;
        for (const auto& [bps, counts] : bySpeed) {
            if (counts.first + counts.second == 0) continue;
            if (!text.empty()) text += "; ";
            text += "at " + std::to_string(bps) + ": " + std::to_string(counts.first) + " out, " +
                    std::to_string(counts.second) + " in";
        }
        return text.empty() ? "none" : text;
    }
};

class Results {
public:
    void Add(const std::string& name, double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6g", value);
        lines_ += name + " " + text + "\n";
    }
    ~Results() {
        if (gSettings.results.empty()) return;
        std::ofstream out(gSettings.results, std::ios::app);
        out << lines_;
    }

private:
    std::string lines_;
};

void PrintProbe(const char* what, const Prober& probe) {
    std::printf(
        "  %s: %zu answers, median %.1f ms, 99th percentile %.1f ms, worst %.1f ms "
        "(%.1f s in); over 50 ms: %zu, over 100 ms: %zu%s\n",
        what, probe.Count(), probe.Percentile(0.5), probe.Percentile(0.99), probe.Worst(),
        probe.WorstAtMs() / 1000, probe.Over(50), probe.Over(100),
        probe.Unanswered() ? " (some unanswered within 30 s)" : "");
    if (!probe.SlowOnes().empty()) {
        std::printf("    slow answers (s in: ms):");
        for (const Prober::Slow& s : probe.SlowOnes())
            std::printf(" %.2f: %.0f", s.atMs / 1000, s.tookMs);
        std::printf("\n");
    }
}

void Copy(const std::string& from, const std::string& to) {
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE))
        << "copying " << from << " to " << to << ": error " << GetLastError();
}

uint64_t FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// A page's window, shown or not: the pages are made at start and only hidden between visits.
HWND PageWindow(const char* caption) { return FindWindowA("#32770", caption); }

// Advanced mode in high-speed mode, the file typed on the browse page, and its upload from
// the press of Next until the page says it is complete.
TEST_F(Wizard, Upload) {
    ASSERT_FALSE(gSettings.update.empty()) << "--update FILE is needed";
    desk_ = std::make_unique<Desk>("bench-upload", 2);
    Desk& desk = *desk_;
    auto& driver = desk.driver;
    const std::string kitFile = desk.kit + "\\" + kBenchFile + ".upd";
    Copy(gSettings.update, kitFile);
    // Where the Linux half judges the flash afterwards.
    Copy(gSettings.update, Linux::Work(std::string("files\\") + kBenchFile + ".upd"));
    const uint64_t fileBytes = FileBytes(kitFile);
    desk.StartHandheld("--mode debugger");
    desk.StartWizard("-H");
    AdvancedRoadToBrowse();
    WaitPage(kBrowsePage);
    driver.Type(kBrowsePage, Id(IDC_BROWSE_EDIT), kitFile);
    HWND uploadPage = PageWindow(kUploadPage);
    ASSERT_TRUE(uploadPage) << "no upload page";
    HWND next = GetDlgItem(uploadPage, IDC_PAGE_NEXT);
    HWND abortButton = GetDlgItem(uploadPage, IDC_UPLOAD_ABORT);
    // Let the connection test's last bytes be counted before the first look.
    Sleep(500);
    const Wire before = Wire::Read();
    const uint32_t wizard = driver.Process();

    Prober probe;
    const double cpuBefore = ProcessCpuSeconds(wizard);
    const double start = NowMs();
    probe.Start(uploadPage, start, gSettings.probeEveryMs);
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));

    // Halfway through the flash at the line's pace, the abort button once; the question is
    // answered No at once, so the flash goes on.
    const double expectedMs = static_cast<double>(fileBytes) * 10 / 115200 * 1000;
    const double abortAtMs = std::max(3000.0, expectedMs / 2);
    double abortAnswerMs = -1, abortBoxOpenMs = -1;
    std::string abortBox;
    const double deadline = start + 3 * expectedMs + 120'000;
    bool done = false;
    for (unsigned round = 0; !done; ++round) {
        const double now = NowMs();
        ASSERT_LT(now, deadline) << "the upload did not end; the page: "
                                 << driver.Describe(uploadPage);
        if (abortAnswerMs < 0 && now - start >= abortAtMs && IsWindowEnabled(abortButton)) {
            const double pressed = NowMs();
            driver.Press(abortButton);
            std::optional<wizard::MessageBoxView> box;
            while (!(box = driver.FindMessageBox()) && NowMs() - pressed < 30'000) Sleep(1);
            abortAnswerMs = NowMs() - pressed;
            ASSERT_TRUE(box) << "pressing Abort showed no box";
            abortBox = box->caption;
            driver.Answer(*box, "&No");
            abortBoxOpenMs = NowMs() - pressed;
            continue;
        }
        // A box other than the abort question ends the run with its text.
        if (round % 25 == 0)
            if (const auto box = driver.FindMessageBox())
                FAIL() << "a box \"" << box->caption << "\": " << box->text;
        done = IsWindowVisible(uploadPage) && IsWindowEnabled(next);
        if (!done) Sleep(10);
    }
    const double wallMs = NowMs() - start;
    const double cpu = ProcessCpuSeconds(wizard) - cpuBefore;
    probe.Stop();
    const std::string group = driver.Text(GetDlgItem(uploadPage, IDC_UPLOAD_GROUP));
    Sleep(500);  // the tap writes its counts once the line is quiet
    const Wire wire = Wire::Read().Since(before);

    const double bound = wire.BoundSeconds();
    std::printf("\nWizard (Kestrelup.exe -H, advanced mode) under Wine, upload page\n");
    std::printf("  update file: %llu bytes; the page ended with \"%s\"\n",
                static_cast<unsigned long long>(fileBytes), group.c_str());
    std::printf("  wall time (Next on the browse page .. Next enabled): %.3f s\n", wallMs / 1000);
    std::printf("  bytes on the line: %llu (%s)\n", static_cast<unsigned long long>(wire.Bytes()),
                wire.Describe().c_str());
    std::printf("  wire-time bound (bytes x 10 / speed): %.3f s; ratio %.4f\n", bound,
                bound > 0 ? wallMs / 1000 / bound : 0.0);
    if (cpu >= 0)
        std::printf(
            "  wizard CPU (GetProcessTimes, user+kernel): %.3f s = %.2f %% of the wall time\n", cpu,
            100 * cpu / (wallMs / 1000));
    else
        std::printf("  wizard CPU: GetProcessTimes gave nothing\n");
    PrintProbe("upload page answers (WM_NULL every ~20 ms)", probe);
    std::printf(
        "  abort button: the box \"%s\" appeared %.1f ms after the press (goal < %.0f); "
        "answered No %.1f ms after the press\n",
        abortBox.c_str(), abortAnswerMs, kAnswerGoalMs, abortBoxOpenMs);
    std::printf("  goals: worst answer %.1f ms < %.0f -> %s; abort box %.1f ms < %.0f -> %s\n",
                probe.Worst(), kAnswerGoalMs, probe.Worst() < kAnswerGoalMs ? "met" : "MISSED",
                abortAnswerMs, kAnswerGoalMs, abortAnswerMs < kAnswerGoalMs ? "met" : "MISSED");
    std::fflush(stdout);

    Results results;
    results.Add("wizard_wall_s", wallMs / 1000);
    results.Add("wizard_bound_s", bound);
    results.Add("wizard_bytes", static_cast<double>(wire.Bytes()));
    results.Add("wizard_cpu_s", cpu);
    results.Add("wizard_worst_answer_ms", probe.Worst());
    results.Add("wizard_abort_answer_ms", abortAnswerMs);

    EXPECT_EQ(group, "Upload Complete !!! ");
    Press(kUploadPage, Id(IDC_PAGE_NEXT));
    WaitPage(kFinishPage);
    Press(kFinishPage, Id(IDC_FINISH_FINISH));
    desk.WaitWizardEnd();
    desk.ExpectFlash("advanced", kBenchFile);
}

// Normal mode: the HotSync page after the backup HotSync, its connect timer trying every
// 250 ms for a loader that is not there yet, then the reset and the connection.
TEST_F(Wizard, HotSyncPage) {
    desk_ = std::make_unique<Desk>("bench-hotsync", 2);
    Desk& desk = *desk_;
    desk.StartHandheld("--mode os");
    desk.StartWizard("-H");
    WaitPage(kWelcome);
    Press(kWelcome, Id(IDC_WELCOME_NORMAL));
    WaitPage(kHotSyncPage);
    desk.PressHotSync();
    WaitVisible(kHotSyncPage, IDC_HS_STATUS_RESET, std::chrono::seconds(60));
    HWND page = PageWindow(kHotSyncPage);
    ASSERT_TRUE(page);

    Prober waiting;
    waiting.Start(page, NowMs(), gSettings.probeEveryMs);
    Sleep(gSettings.hotSyncWatchMs);
    waiting.Stop();
    Prober connecting;
    connecting.Start(page, NowMs(), gSettings.probeEveryMs);
    desk.Press("reset");
    WaitNext(kHotSyncPage, std::chrono::seconds(30));
    connecting.Stop();

    std::printf("\nWizard (Kestrelup.exe -H, normal mode) under Wine, HotSync page\n");
    PrintProbe("waiting for the reset, page answers", waiting);
    PrintProbe("reset pressed until Next enabled, page answers", connecting);
    const double worst = std::max(waiting.Worst(), connecting.Worst());
    std::printf("  goal: worst answer %.1f ms < %.0f -> %s\n", worst, kAnswerGoalMs,
                worst < kAnswerGoalMs ? "met" : "MISSED");
    std::fflush(stdout);
    Results results;
    results.Add("hotsync_worst_answer_ms", worst);

    Press(kHotSyncPage, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
}

const char* kUsage =
    "usage: wizard_bench [gtest options] --update FILE [--results FILE] [--probe-ms N]\n"
    "                    [--hotsync-watch-ms N]\n"
    "Run under wizard_world.sh (bench/wizard_run.sh does).\n";

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using e2e::gSettings;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const bool hasValue = i + 1 < argc;
        if (name == "--update" && hasValue) {
            gSettings.update = argv[++i];
        } else if (name == "--results" && hasValue) {
            gSettings.results = argv[++i];
        } else if (name == "--probe-ms" && hasValue) {
            gSettings.probeEveryMs = static_cast<unsigned>(std::stoul(argv[++i]));
        } else if (name == "--hotsync-watch-ms" && hasValue) {
            gSettings.hotSyncWatchMs = static_cast<unsigned>(std::stoul(argv[++i]));
        } else {
            std::fprintf(stderr, "wizard_bench: unknown %s\n%s", name.c_str(), e2e::kUsage);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
