// conduit_bench: how fast stashmate.dll backs a handheld up when the handheld is not what
// anyone waits for. This program plays HotSync Manager: it loads the conduit as it ships,
// beside the stand-ins of HotSync Manager's libraries (which answer at once, from a state
// directory on the desktop's disk), and calls OpenConduit twice on a handheld of 200
// databases, 8 MiB in all: the first backup, then a second one of the unchanged handheld.
// It prints, for each, the wall time, the process's CPU time (the conduit's and the
// stand-ins', which HotSync Manager's process runs alike), the records the stand-in handed
// over, the files written and their bytes, and the bytes written per second.
//
// Usage: conduit_bench [DATABASES [MIB]]   (default 200 databases, 8 MiB)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "base/RegistryEdge.h"
#include "base/SyncLayouts.h"
#include "bench/BenchHandheld.h"
#include "sim/HandheldStore.h"
#include "sim/hotsync/ScratchWorld.h"
#include "sim/hotsync/World.h"

namespace {

using OpenConduitCall = LONG(WINAPI*)(void*, void*);

constexpr double kGoalMBps = 50.0;
constexpr const char* kUser = "Bench User";

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

double Seconds(const FILETIME& t) {
    return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e7;
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct FileState {
    uint64_t size = 0;
    FILETIME written{};
};

// The user's backup files with their sizes and last-write times.
std::map<std::string, FileState> BackupFiles(const std::string& userFolder) {
    std::map<std::string, FileState> files;
    for (const char* folder : {"BACKUP", "ROM_Files"}) {
        WIN32_FIND_DATAA found;
        const std::string dir = userFolder + "\\" + folder;
        HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            files[std::string(folder) + "\\" + found.cFileName] = {
                (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow, found.ftLastWriteTime};
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return files;
}

uint32_t BlocksRead() {
    const auto registry = MakeRegistryEdge();
    auto key = registry->OpenCurrentUser(hsworld::kKey);
    RegistryValue value;
    if (!key || key->ReadValue(hsworld::kBlocksRead, value) != RegistryRead::Ok ||
        value.data.size() != 4)
        return 0;
    return byteorder::GetLE32(value.data.data());
}

// The benchmarks' handheld written into the store; its bytes of records and resources.
uint64_t FillHandheld(HandheldStore& store, int count, uint64_t total) {
    uint64_t bytes = 0;
    std::string error;
    for (int i = 0; i < count; ++i) {
        const PalmDatabase db = BenchDatabase(i, count, total);
        for (const auto& record : db.records) bytes += record.data.size();
        for (const auto& resource : db.resources) bytes += resource.data.size();
        if (!store.Write(StoreFolder::Ram, db, error)) {
            std::fprintf(stderr, "conduit_bench: %s\n", error.c_str());
            std::exit(1);
        }
    }
    return bytes;
}

struct Run {
    LONG result = 0;
    double wall = 0, cpu = 0;
    uint32_t blocks = 0;
    size_t filesWritten = 0;
    uint64_t bytesWritten = 0;
};

Run Backup(OpenConduitCall open, const std::string& userFolder) {
    std::vector<uint8_t> properties(syncprops::kSize, 0);
    byteorder::PutLE32(&properties[syncprops::kSyncType], syncprops::kSyncTypeHandheldOverwrites);
    const std::string backup = userFolder + "\\BACKUP\\";
    backup.copy(reinterpret_cast<char*>(&properties[syncprops::kPathName]),
                syncprops::kPathNameSize - 1);
    const auto before = BackupFiles(userFolder);
    Run run;
    const double cpu = CpuSeconds(), wall = Now();
    run.result = open(nullptr, properties.data());
    run.wall = Now() - wall;
    run.cpu = CpuSeconds() - cpu;
    run.blocks = BlocksRead();
    for (const auto& [name, state] : BackupFiles(userFolder)) {
        const auto old = before.find(name);
        if (old != before.end() && CompareFileTime(&old->second.written, &state.written) == 0 &&
            old->second.size == state.size)
            continue;
        ++run.filesWritten;
        run.bytesWritten += state.size;
    }
    return run;
}

void Print(const char* what, const Run& run) {
    const double mb = static_cast<double>(run.bytesWritten) / 1048576.0;
    std::printf("%s: result %ld\n", what, run.result);
    std::printf("  wall %.3f s, CPU %.3f s\n", run.wall, run.cpu);
    std::printf("  records, resources and AppInfo blocks read: %u\n", run.blocks);
    std::printf("  files written: %zu, %.2f MiB", run.filesWritten, mb);
    if (run.wall > 0 && run.bytesWritten > 0) std::printf(", %.1f MiB/s", mb / run.wall);
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
    ScratchWorld world(kUser);
    HandheldStore store(world.Handheld());
    std::string error;
    if (!store.WriteUser(kUser, error)) {
        std::fprintf(stderr, "conduit_bench: %s\n", error.c_str());
        return 1;
    }
    const uint64_t data = FillHandheld(store, databases, uint64_t(mib) << 20);
    std::printf("handheld: %d databases, %.2f MiB of records and resources\n", databases,
                static_cast<double>(data) / 1048576.0);

    HMODULE conduit = LoadLibraryA((ProgramFolder() + "\\stashmate.dll").c_str());
    const auto open = conduit ? reinterpret_cast<OpenConduitCall>(
                                    reinterpret_cast<void*>(GetProcAddress(conduit, "OpenConduit")))
                              : nullptr;
    if (!open) {
        std::fprintf(stderr, "conduit_bench: stashmate.dll cannot be loaded beside the program\n");
        return 1;
    }
    const Run first = Backup(open, world.UserFolder());
    Print("first backup", first);
    if (first.result != 0) {  // the conduit's account says why
        if (const auto log = ScratchWorld::ReadFile(world.UserFolder() + "\\HotSync.log"))
            std::printf("%s", log->c_str());
    }
    const Run second = Backup(open, world.UserFolder());
    Print("second backup, handheld unchanged", second);
    FreeLibrary(conduit);

    const double rate =
        first.wall > 0 ? static_cast<double>(first.bytesWritten) / 1048576.0 / first.wall : 0;
    std::printf(
        "goals: second backup reads no record (%u) and writes no file (%zu): %s; "
        "first backup at least %.0f MiB/s (%.1f): %s\n",
        second.blocks, second.filesWritten,
        second.blocks == 0 && second.filesWritten == 0 ? "met" : "NOT MET", kGoalMBps, rate,
        rate >= kGoalMBps ? "met" : "NOT MET");
    return first.result == 0 && second.result == 0 ? 0 : 1;
}
