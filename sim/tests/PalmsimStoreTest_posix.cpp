// palmsim as a program and the handheld's databases: what the desktop does over the line
// (erasing the RAM store, setting the flash store up) shows in the state directory after a
// save, and a reset into the OS finds the loader the HotSync side installed.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/FlashChips.h"
#include "sim/Bootlet.h"
#include "sim/HandheldStore.h"
#include "sim/tests/DesktopPort.h"
#include "sim/tests/DesktopSide.h"
#include "testing/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using desk::Be16;
using desk::Be32;
using desk::Cat;

class Palmsim : public PalmsimProcess {
public:
    explicit Palmsim(const std::vector<std::string>& args) : PalmsimProcess(PALMSIM_PATH, args) {}
    int Stop() { return PalmsimProcess::Stop(SIGTERM, 10'000); }
};

// The user's reset button.
void PressReset(const Palmsim& palmsim) { palmsim.Signal(SIGRTMIN + 1); }

struct StateDir {
    explicit StateDir(const char* name)
        : path(fs::temp_directory_path() /
               (std::string("palmsim-store-") + name + "-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~StateDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 100; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

PalmDatabase Database(const std::string& name) {
    PalmDatabase database;
    database.SetName(name);
    database.type = palmdb::FourCc("DATA");
    database.creator = palmdb::FourCc("test");
    database.records = {{0, 1, {1, 2, 3}}};
    return database;
}

// A handheld as the HotSync before an update leaves it: a user, its databases, and the
// loader installed in RAM when `withLoader`.
void Populate(const fs::path& dir, bool withLoader) {
    HandheldStore store(dir);
    std::string error;
    ASSERT_TRUE(store.WriteUser("Jo Tester", error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Memo DB"), error)) << error;
    if (withLoader) {
        ASSERT_TRUE(store.Write(StoreFolder::Ram, BuildBootletDatabase(), error)) << error;
    }
    ASSERT_TRUE(store.Write(StoreFolder::Rom, Database("System"), error)) << error;
    ASSERT_TRUE(store.Write(StoreFolder::RomAdded, Database("Added App"), error)) << error;
}

std::set<std::string> Files(const fs::path& dir) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir, ignored))
        names.insert(entry.path().filename().string());
    return names;
}

std::string User(const fs::path& dir) {
    std::string user = "?";
    std::string error;
    EXPECT_TRUE(HandheldStore(dir).ReadUser(user, error)) << error;
    return user;
}

enum class Answering { Debugger, Loader, Nothing };

// Packet type 0 is the debugger's state command and the loader's version command alike; the
// reply tells which of them runs, and silence that the OS does.
Answering WhoAnswers(const Palmsim& palmsim) {
    DesktopPort port(palmsim.Device());
    port.Send(0, 1, {0x00, 0x00});
    const auto replies = port.Await(1, 300);
    if (replies.size() != 1) return Answering::Nothing;
    return replies[0].type == 0x80 ? Answering::Loader : Answering::Debugger;
}

TEST(PalmsimStore, TheOsStartsTheLoaderItFindsInstalledInRam) {
    enum class Start { Os, ResetFromDebugger };
    const struct {
        const char* catches;
        Start start;
        bool withLoader;
        bool loaderRuns;
    } rows[] = {
        {"a start in the OS with Bootlet installed runs it", Start::Os, true, true},
        {"a start in the OS without it stays silent", Start::Os, false, false},
        {"the reset button with Bootlet installed", Start::ResetFromDebugger, true, true},
        {"the reset button without it: the OS, silent", Start::ResetFromDebugger, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        StateDir dir("boot");
        Populate(dir.path, row.withLoader);
        const bool os = row.start == Start::Os;
        Palmsim palmsim(
            {"--no-pacing", "--mode", os ? "os" : "debugger", "--state", dir.path.string()});
        ASSERT_FALSE(palmsim.Device().empty());
        if (!os) {
            ASSERT_EQ(WhoAnswers(palmsim), Answering::Debugger);
            PressReset(palmsim);
            ASSERT_TRUE(Eventually([&] { return WhoAnswers(palmsim) != Answering::Debugger; }));
        }
        EXPECT_EQ(WhoAnswers(palmsim), row.loaderRuns ? Answering::Loader : Answering::Nothing);
        EXPECT_EQ(palmsim.Stop(), 0);
    }
}

// The desktop erases the RAM store: 4 KiB of 0xFF written three times 256 KiB into RAM.
void EraseRamStore(DesktopPort& port) {
    for (uint8_t write = 0; write < 3; ++write) {
        port.Send(1, static_cast<uint8_t>(10 + write),
                  Cat({Be32(0x40000), Be16(4096), std::vector<uint8_t>(4096, 0xFF), {0}}));
        ASSERT_EQ(port.Await(1, 5000).size(), 1u);
    }
}

constexpr uint32_t kFlashBase = 0x10C00000;

void Program(DesktopPort& port, uint32_t address, const std::vector<uint8_t>& data) {
    const EraseBlock block = EraseBlockAt(0x89, 0x8897, address - kFlashBase);  // the default chip
    port.Send(4, 20,
              Cat({Be32(kFlashBase + block.start),
                   Be32(address),
                   Be16(static_cast<uint16_t>(data.size())),
                   data,
                   {0}}));
    const auto replies = port.Await(1, 5000);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(desk::U16(replies[0].body, 0), 0);
}

TEST(PalmsimStore, TheDesktopsEraseAndSetUpShowInTheStateDirectoryAtOnce) {
    StateDir dir("stores");
    Populate(dir.path, true);
    Palmsim palmsim({"--no-pacing", "--loader-running", "--state", dir.path.string()});
    ASSERT_FALSE(palmsim.Device().empty());
    DesktopPort port(palmsim.Device());

    EXPECT_EQ(Files(dir.path / "ram"), (std::set<std::string>{"Bootlet.PRC", "Memo_DB.PDB"}));
    EraseRamStore(port);
    // As on a handheld, the erase is seen by the HotSync side at once, without a save asked
    // for: ram/ and the user name are gone, the ROM stays.
    ASSERT_TRUE(Eventually([&] { return Files(dir.path / "ram").empty(); }));
    EXPECT_EQ(User(dir.path), "");
    EXPECT_EQ(Files(dir.path / "rom"), std::set<std::string>{"System.PDB"});
    EXPECT_EQ(Files(dir.path / "rom-added"), std::set<std::string>{"Added_App.PDB"});

    // The new OS's reset vector points at a blank control block; the desktop writes its chip
    // count (0x10C21034) when it sets the flash store up.
    Program(port, 0x10C08004, Be32(0x10C21234));
    Program(port, 0x10C21034, Be16(1));
    ASSERT_TRUE(Eventually([&] { return Files(dir.path / "rom-added").empty(); }));
    EXPECT_EQ(Files(dir.path / "rom"), std::set<std::string>{"System.PDB"});

    // The restoring HotSync, after those changes: what it writes is there at the end.
    HandheldStore store(dir.path);
    std::string error;
    ASSERT_TRUE(store.Write(StoreFolder::Ram, Database("Memo DB"), error)) << error;
    ASSERT_TRUE(store.WriteUser("Jo Tester", error)) << error;
    EXPECT_EQ(palmsim.Stop(), 0);
    EXPECT_EQ(Files(dir.path / "ram"), std::set<std::string>{"Memo_DB.PDB"});
    EXPECT_EQ(User(dir.path), "Jo Tester");
}

}  // namespace
