// palmsim as a program: a desktop talks to it through the pseudo-terminal it prints, the
// line speed set on the desktop's end matters, pacing holds to the line speed, and the
// handheld's state is written when asked and at the end; a state directory it cannot use is
// refused before it serves, and a save that fails is reported without losing the last one.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/tests/DesktopPort.h"
#include "sim/tests/DesktopSide.h"
#include "sim/tests/StateDirSnapshot.h"
#include "testing/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using desk::Be16;
using desk::Be32;
using desk::Cat;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kBase = 0x10C00000;

// palmsim as built beside this test, started on its own pseudo-terminal.
class Palmsim : public PalmsimProcess {
public:
    explicit Palmsim(const std::vector<std::string>& args) : PalmsimProcess(PALMSIM_PATH, args) {}
    int Stop(int signal) { return PalmsimProcess::Stop(signal, 10'000); }
};

using Port = DesktopPort;

fs::path TempDir(const char* name) {
    const fs::path dir = fs::temp_directory_path() /
                         (std::string("palmsim-smoke-") + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(Palmsim, AnswersThroughThePtyAndWritesItsStateOnSignals) {
    const fs::path dir = TempDir("state");
    const fs::path link = dir / "com2";
    Palmsim palmsim(
        {"--no-pacing", "--loader-running", "--state", dir.string(), "--link", link.string()});
    ASSERT_FALSE(palmsim.Device().empty());
    EXPECT_EQ(fs::read_symlink(link), palmsim.Device());
    {
        Port port(link.string());
        port.Send(0, 1, {});
        const auto version = port.Await(1, 5000);
        ASSERT_EQ(version.size(), 1u);
        EXPECT_EQ(version[0].type, 0x80);
        EXPECT_EQ(version[0].id, 1);
        EXPECT_EQ(version[0].body, Cat({Be16(32), Be16(0)}));

        port.Send(4, 2, Cat({Be32(kBase + 0x2000), Be32(kBase + 0x2004), Be16(3), {1, 2, 3}, {0}}));
        ASSERT_EQ(port.Await(1, 5000).size(), 1u);
    }
    palmsim.Signal(SIGUSR1);
    std::vector<uint8_t> flash;
    for (int i = 0; i < 500 && flash.size() != 0x400000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        flash = FileBytes(dir / "flash.bin");
    }
    ASSERT_EQ(flash.size(), 0x400000u);
    EXPECT_EQ(flash[0x2004], 1);
    EXPECT_EQ(flash[0x2006], 3);

    {
        // The port was closed and opened again in between: the line is still there.
        Port port(palmsim.Device());
        port.Send(7, 3, {});
        ASSERT_EQ(port.Await(1, 5000).size(), 1u);
    }
    EXPECT_EQ(palmsim.Stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    const std::vector<uint8_t> config = FileBytes(dir / "handheld.conf");
    EXPECT_NE(std::string(config.begin(), config.end()).find("mode=os"), std::string::npos);
    fs::remove_all(dir);
}

TEST(Palmsim, PacesAtTheLineSpeedInForceWithoutSpinning) {
    Palmsim palmsim({"--loader-running"});
    ASSERT_FALSE(palmsim.Device().empty());
    Port port(palmsim.Device());
    port.Send(8, 1, Be32(115200));
    ASSERT_EQ(port.Await(1, 5000).size(), 1u);
    // The handheld has switched; a desktop left at the old speed hears nothing sensible.
    port.Send(0, 2, {});
    EXPECT_TRUE(port.Await(1, 400).empty());
    port.SetSpeed(115200);

    constexpr int kReads = 6;
    constexpr double kBytesEach = 21 + 4108;  // request and reply of a 4096-byte read
    const auto start = Clock::now();
    for (int i = 0; i < kReads; ++i) {
        port.Send(5, static_cast<uint8_t>(10 + i), Cat({Be32(kBase + 4096u * i), Be16(4096)}));
        const auto replies = port.Await(1, 5000);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].body.size(), 4096u);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double expected = kReads * kBytesEach * 10 / 115200;
    EXPECT_GT(elapsed, expected * 0.98);
    EXPECT_LT(elapsed, expected * 1.10);

    double cpu = 0;
    ASSERT_EQ(palmsim.PalmsimProcess::Stop(SIGINT, 10'000, &cpu), 0);
    EXPECT_LT(cpu, elapsed * 0.3) << "palmsim should sleep between bursts";
}

// A test's directory goes however the test ends, after the palmsims declared later.
struct RemovedAtEnd {
    fs::path path;
    ~RemovedAtEnd() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

// palmsim with its standard error in `errors`, for the tests that read what it says. Only
// the child keeps the file; the test's own standard error is back once palmsim has started.
std::unique_ptr<Palmsim> StartWithErrorsIn(const std::vector<std::string>& args,
                                           const fs::path& errors) {
    std::fflush(stderr);
    const int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(file, 0) << errors;
    dup2(file, STDERR_FILENO);
    close(file);
    auto palmsim = std::make_unique<Palmsim>(args);
    dup2(saved, STDERR_FILENO);
    close(saved);
    return palmsim;
}

std::string Text(const fs::path& path) { return state_snapshot::ReadFile(path); }

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Waits up to five seconds for `done`.
bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

TEST(PalmsimStateDir, RefusesWhatItCannotUseBeforeServingAndTouchesNothing) {
    struct Row {
        const char* catches;
        // Prepares `dir` (the state directory, which exists) and returns palmsim's options.
        std::function<std::vector<std::string>(const fs::path& dir)> make;
        const char* says;
    };
    const auto usual = [](const fs::path& dir) {
        return std::vector<std::string>{"--no-pacing", "--state", dir.string()};
    };
    const auto fifo = [](const fs::path& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0) << at; };
    const Row rows[] = {
        {"a directory read as the flash image",
         [&](const fs::path& dir) {
             fs::create_directory(dir / "flash.bin");
             return usual(dir);
         },
         "flash.bin is a directory"},
        {"a FIFO for RAM: opening it waits for a writer for ever",
         [&](const fs::path& dir) {
             fifo(dir / "ram.bin");
             return usual(dir);
         },
         "ram.bin is a FIFO"},
        {"a FIFO for the configuration, read before anything else",
         [&](const fs::path& dir) {
             fifo(dir / "handheld.conf");
             return usual(dir);
         },
         "handheld.conf is a FIFO"},
        {"a link to /dev/zero: the flash image would be read for ever",
         [&](const fs::path& dir) {
             fs::create_symlink("/dev/zero", dir / "flash.bin");
             return usual(dir);
         },
         "flash.bin is a symbolic link to a character device"},
        {"a link to a FIFO for the configuration",
         [&](const fs::path& dir) {
             fifo(dir / "pipe");
             fs::create_symlink(dir / "pipe", dir / "handheld.conf");
             return usual(dir);
         },
         "handheld.conf is a symbolic link to a FIFO"},
        {"a link to nothing: a blank start would replace an image out of reach",
         [&](const fs::path& dir) {
             fs::create_symlink(dir / "unmounted" / "flash.bin", dir / "flash.bin");
             return usual(dir);
         },
         "flash.bin is a symbolic link to nothing"},
        {"a flash image of another handheld is neither cut nor padded",
         [&](const fs::path& dir) {
             std::ofstream(dir / "flash.bin") << std::string(100, 'x');
             return usual(dir);
         },
         "holds 100 bytes"},
        {"--state naming a regular file: the state would be lost at the end",
         [&](const fs::path& dir) {
             std::ofstream(dir / "plain") << "notes";
             return usual(dir / "plain");
         },
         "is a regular file, not a state directory"},
        {"--state naming a FIFO",
         [&](const fs::path& dir) {
             fifo(dir / "pipe");
             return usual(dir / "pipe");
         },
         "is a FIFO, not a state directory"},
        {"--state naming a link to a device",
         [&](const fs::path& dir) {
             fs::create_symlink("/dev/null", dir / "device");
             return usual(dir / "device");
         },
         "is a symbolic link to a character device"},
        {"--state below a regular file: it could never be made",
         [&](const fs::path& dir) {
             std::ofstream(dir / "plain") << "notes";
             return usual(dir / "plain" / "state");
         },
         "cannot make the state directory"},
        {"an empty --state would run without saving anything",
         [&](const fs::path&) {
             return std::vector<std::string>{"--no-pacing", "--state="};
         },
         "--state needs a directory"},
        {"a switch given a value would be taken as set",
         [&](const fs::path& dir) {
             return std::vector<std::string>{"--no-pacing=0", "--state", dir.string()};
         },
         "--no-pacing takes no value"},
    };
    const fs::path base = TempDir("refuse");
    const RemovedAtEnd cleanup{base};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.catches);
        const fs::path dir = base / "state";
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::vector<std::string> args = row.make(dir);
        const auto before = state_snapshot::Snapshot(dir);
        const auto palmsim = StartWithErrorsIn(args, base / "errors");
        EXPECT_EQ(palmsim->Device(), "");  // refused before it printed the device
        EXPECT_EQ(palmsim->Stop(0), 2);
        const std::string errors = Text(base / "errors");
        EXPECT_NE(errors.find(row.says), std::string::npos) << errors;
        EXPECT_EQ(Count(errors, "\n"), 1u) << errors;
        EXPECT_EQ(state_snapshot::Snapshot(dir), before);
    }
}

TEST(PalmsimStateDir, ReadsAndSavesThroughLinksToRegularFiles) {
    const fs::path base = TempDir("link");
    const RemovedAtEnd cleanup{base};
    std::string image(0x400000, '\xFF');
    image[0x1234] = 0x42;
    std::ofstream(base / "image.bin", std::ios::binary) << image;
    std::ofstream(base / "shared.conf") << "hwid=4\n";
    fs::create_directories(base / "state");
    fs::create_symlink(base / "image.bin", base / "state" / "flash.bin");
    fs::create_symlink("../shared.conf", base / "state" / "handheld.conf");
    {
        Palmsim palmsim({"--no-pacing", "--hwid", "6", "--state", (base / "state").string()});
        ASSERT_FALSE(palmsim.Device().empty());
        EXPECT_EQ(palmsim.Stop(SIGTERM), 0);
    }
    // The links stay, and the files behind them hold the state: a plain file in a link's place
    // would leave the file the link's owner reads holding the old one.
    EXPECT_TRUE(fs::is_symlink(base / "state" / "flash.bin"));
    EXPECT_TRUE(fs::is_symlink(base / "state" / "handheld.conf"));
    EXPECT_EQ(Text(base / "image.bin"), image);
    EXPECT_EQ(Count(Text(base / "shared.conf"), "\nhwid=6\n"), 1u) << Text(base / "shared.conf");
}

TEST(PalmsimStateDir, NamesRepeatedKeysAndQuotesWhatItCannotReadPrintably) {
    const struct {
        const char* catches;
        const char* config;
        int status;  // 0 served and saved, 2 refused
        const char* says;
    } rows[] = {
        {"a key given twice", "hwid=6\nbattery=50\nhwid=7\n", 0,
         "handheld.conf: key 'hwid' on line 3 was given on line 1 already; the last one counts"},
        {"a line that would retitle the reader's terminal", "hwid=\x1b]0;owned\x07\n", 2,
         "cannot read 'hwid=\\x1B]0;owned\\x07'"},
    };
    const fs::path base = TempDir("repeated");
    const RemovedAtEnd cleanup{base};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catches);
        const fs::path dir = base / "state";
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "handheld.conf") << row.config;
        const auto palmsim =
            StartWithErrorsIn({"--no-pacing", "--state", dir.string()}, base / "errors");
        EXPECT_EQ(palmsim->Device().empty(), row.status != 0);
        EXPECT_EQ(palmsim->Stop(row.status == 0 ? SIGTERM : 0), row.status);
        const std::string errors = Text(base / "errors");
        EXPECT_NE(errors.find(row.says), std::string::npos) << errors;
        EXPECT_EQ(Count(errors, "\n"), 1u) << errors;
        EXPECT_EQ(errors.find('\x1b'), std::string::npos) << errors;
    }
}

TEST(PalmsimStateDir, WarnsOfUnknownKeysAndWritesThemBack) {
    const fs::path base = TempDir("keys");
    const RemovedAtEnd cleanup{base};
    const fs::path dir = base / "state";
    fs::create_directories(dir);
    std::ofstream(dir / "handheld.conf") << "hwid=6\nowner=sync-tool\nlast-sync=2024-05-01\n";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "written by another tool" : "written back by palmsim");
        const auto palmsim =
            StartWithErrorsIn({"--no-pacing", "--state", dir.string()}, base / "errors");
        ASSERT_FALSE(palmsim->Device().empty());
        EXPECT_EQ(palmsim->Stop(SIGTERM), 0);
        const std::string errors = Text(base / "errors");
        const std::string file = (dir / "handheld.conf").string();
        EXPECT_EQ(Count(errors, "\n"), 2u) << errors;
        EXPECT_NE(errors.find(file + ": unknown key 'owner'"), std::string::npos) << errors;
        EXPECT_NE(errors.find(file + ": unknown key 'last-sync'"), std::string::npos) << errors;
        const std::string config = Text(dir / "handheld.conf");
        EXPECT_EQ(Count(config, "\nowner=sync-tool\n"), 1u) << config;
        EXPECT_EQ(Count(config, "\nlast-sync=2024-05-01\n"), 1u) << config;
        EXPECT_EQ(Count(config, "\nhwid=6\n"), 1u) << config;
    }
}

// The chip list a running loader reports.
std::vector<uint8_t> ChipListOf(const Palmsim& palmsim) {
    Port port(palmsim.Device());
    port.Send(2, 9, {});
    const auto replies = port.Await(1, 5000);
    return replies.size() == 1 ? replies[0].body : std::vector<uint8_t>{};
}

TEST(PalmsimStateDir, UnknownChipIsTakenAlikeFromTheOptionAndTheFile) {
    const fs::path base = TempDir("chip");
    const RemovedAtEnd cleanup{base};
    const std::vector<uint8_t> expected = Cat({Be16(1), Be32(kBase), Be16(0x12), Be16(0x3456)});
    const struct {
        const char* path;
        bool fromOption;
    } rows[] = {{"--chips", true}, {"chips= in handheld.conf", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const fs::path dir = base / "state";
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::vector<std::string> args = {"--no-pacing", "--loader-running", "--state",
                                         dir.string()};
        if (row.fromOption)
            args.insert(args.end(), {"--chips", "0x12:0x3456"});
        else
            std::ofstream(dir / "handheld.conf") << "chips=0x12:0x3456\n";
        {
            Palmsim palmsim(args);
            ASSERT_FALSE(palmsim.Device().empty());
            EXPECT_EQ(ChipListOf(palmsim), expected);
            EXPECT_EQ(palmsim.Stop(SIGTERM), 0);
        }
        // The saved handheld starts again as it was.
        Palmsim again({"--no-pacing", "--loader-running", "--state", dir.string()});
        ASSERT_FALSE(again.Device().empty());
        EXPECT_EQ(ChipListOf(again), expected);
        EXPECT_EQ(again.Stop(SIGTERM), 0);
    }
}

TEST(PalmsimStateDir, FailedSaveIsReportedAndTheLastGoodStateKept) {
    const fs::path base = TempDir("save");
    const RemovedAtEnd cleanup{base};
    const fs::path dir = base / "state";
    const fs::path errors = base / "errors";
    const auto palmsim =
        StartWithErrorsIn({"--no-pacing", "--loader-running", "--state", dir.string()}, errors);
    ASSERT_FALSE(palmsim->Device().empty());
    palmsim->Signal(SIGUSR1);
    ASSERT_TRUE(Eventually([&] { return fs::exists(dir / "handheld.conf"); }));
    const auto good = state_snapshot::Snapshot(dir);

    // flash.bin becomes a directory while palmsim runs: the save on USR1 fails, and says so.
    const auto breakFlash = [&] {
        fs::rename(dir / "flash.bin", base / "flash.good");
        fs::create_directories(dir / "flash.bin" / "inside");
    };
    breakFlash();
    const auto broken = state_snapshot::Snapshot(dir);
    palmsim->Signal(SIGUSR1);
    ASSERT_TRUE(Eventually([&] { return Count(Text(errors), "state not saved") == 1; }))
        << Text(errors);
    EXPECT_NE(Text(errors).find("flash.bin is a directory"), std::string::npos) << Text(errors);
    EXPECT_EQ(state_snapshot::Snapshot(dir), broken);

    // palmsim served on: put right, the next save goes through.
    fs::remove_all(dir / "flash.bin");
    fs::rename(base / "flash.good", dir / "flash.bin");
    fs::remove(dir / "ram.bin");
    palmsim->Signal(SIGUSR1);
    ASSERT_TRUE(Eventually([&] { return fs::exists(dir / "ram.bin"); }));
    EXPECT_EQ(state_snapshot::Snapshot(dir), good);

    // The save at the end fails the same way: a failure exit, not a refusal (2), and the
    // state of the last good save is all there.
    breakFlash();
    EXPECT_EQ(palmsim->Stop(SIGTERM), 1);
    EXPECT_EQ(Count(Text(errors), "state not saved"), 2u) << Text(errors);
    EXPECT_EQ(state_snapshot::Snapshot(dir), broken);
    EXPECT_EQ(state_snapshot::Snapshot(base)["flash.good"], good.at("flash.bin"));
}

}  // namespace
