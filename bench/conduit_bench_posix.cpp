// conduit_bench (native): the backup pass's own speed, with nothing between it and a handheld
// that answers at once: the conduit's core on this machine's files, its Sync Manager a handheld
// kept in memory (the native tests' own). A handheld of 200 databases, 8 MiB in all, backed
// up twice: the first backup, then a second one of the unchanged handheld. Prints, for each,
// the wall and CPU time, the records read, the files written and their bytes, and the bytes
// written per second. bench/conduit_run.sh also runs the real stashmate.dll under Wine.
//
// Usage: conduit_bench [DATABASES [MIB]]   (default 200 databases, 8 MiB)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchHandheld.h"
#include "conduit/BackupPass.h"
#include "conduit/BackupWindows.h"
#include "conduit/DesktopFiles.h"
#include "conduit/tests/MemorySyncManager.h"

namespace {

namespace fs = std::filesystem;
constexpr double kGoalMBps = 50.0;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class NoLog : public HotSyncLog {
public:
    void Add(int32_t, bool, const std::string&) override {}
};

MemoryHandheld Handheld(int count, uint64_t total) {
    MemoryHandheld h;
    h.largestRecord = 65505;
    for (int i = 0; i < count; ++i) h.ram.push_back(BenchDatabase(i, count, total));
    return h;
}

std::map<std::string, fs::file_time_type> Files(const fs::path& folder) {
    std::map<std::string, fs::file_time_type> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().string()] = entry.last_write_time();
    return files;
}

void Backup(const char* what, MemoryHandheld& handheld, const fs::path& user) {
    MemorySyncManager sync(handheld);
    NoLog log;
    const auto files = MakeDesktopFiles();
    const auto windows = MakeBackupWindows();
    ConduitWorld world{sync,
                       log,
                       *files,
                       *windows,
                       [](const std::string&) { return 0; },
                       [](uint32_t) {},
                       [] { return 1'700'000'000u; }};
    std::vector<uint8_t> properties(syncprops::kSize, 0);
    const std::string folder = user.string() + "\\BACKUP\\";
    folder.copy(reinterpret_cast<char*>(&properties[syncprops::kPathName]),
                syncprops::kPathNameSize - 1);
    const auto before = Files(user);
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = RunBackup(world, properties.data());
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    size_t written = 0;
    uint64_t bytes = 0;
    for (const auto& [path, time] : Files(user)) {
        const auto old = before.find(path);
        if (old != before.end() && old->second == time) continue;
        ++written;
        bytes += fs::file_size(path);
    }
    const double mb = static_cast<double>(bytes) / 1048576.0;
    std::printf(
        "%s: result %d\n  wall %.3f s, CPU %.3f s\n  records read: %d\n"
        "  files written: %zu, %.2f MiB",
        what, result, wall, CpuSeconds() - cpu, sync.recordReads, written, mb);
    if (bytes > 0) std::printf(", %.1f MiB/s", mb / wall);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int databases = argc > 1 ? std::atoi(argv[1]) : 200;
    const int mib = argc > 2 ? std::atoi(argv[2]) : 8;
    if (databases <= 0 || mib <= 0) {
        std::fprintf(stderr, "usage: conduit_bench [DATABASES [MIB]]\n");
        return 2;
    }
    const fs::path root = fs::temp_directory_path() / ("conduit-bench-" + std::to_string(getpid()));
    fs::create_directories(root / "User" / "BACKUP");
    MemoryHandheld handheld = Handheld(databases, uint64_t(mib) << 20);
    std::printf("handheld: %d databases, %d MiB (the conduit's core, natively)\n", databases, mib);
    Backup("first backup", handheld, root / "User");
    Backup("second backup, handheld unchanged", handheld, root / "User");
    fs::remove_all(root);
    std::printf("goal: at least %.0f MiB/s on the first backup\n", kGoalMBps);
    return 0;
}
