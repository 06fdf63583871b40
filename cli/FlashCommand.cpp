// kestrel-flash flash: a whole update of a handheld over a serial line, in the order the
// wizard's pages run it, with the wizard's questions turned into options and refusals.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "base/Log.h"
#include "base/Stringmgr.h"
#include "cli/Commands.h"
#include "cli/ConsoleProgress.h"
#include "cli/FlashConsole.h"
#include "image/UpdateFile.h"
#include "link/CommPort.h"
#include "link/Loader.h"
#include "link/Pilotmanager.h"
#include "link/UpdateJob.h"

namespace {

constexpr const char* kCommand = "flash";
constexpr uint32_t kDefaultTimeoutSeconds = 60;
constexpr uint32_t kMostTimeoutSeconds = 24 * 60 * 60;
constexpr uint32_t kRetryPauseMs = 250;
constexpr uint32_t kResetRate = 57600;         // what a loader listens at when it starts
constexpr uint32_t kLoaderBufferSize = 32768;  // the most a loader file may hold
constexpr size_t kMostPortName = 31;           // what the port keeps of a device name
constexpr const char* kDefaultLoader = "sys/Bootlet.prc";

// Texts of the wizard's boxes that become the command's refusals.
constexpr int kTextFileNotForHalvex = 103;
constexpr int kTextDeviceMismatch = 105;
constexpr int kTextUnsupportedHandheld = 140;
constexpr int kTextImageTooBig = 142;

// The device codes the kit is made for; everything else is another maker's handheld.
constexpr uint8_t kSupportedDevices[] = {6, 7, 11, 15};

bool SupportedDevice(uint8_t code) {
    for (uint8_t d : kSupportedDevices)
        if (d == code) return true;
    return false;
}

// Whether a file for device `file` suits handheld `handheld`: the same code, where codes 2
// and 4 are one family.
bool DeviceMatches(uint8_t handheld, uint8_t file) {
    auto family24 = [](uint8_t c) { return c == 2 || c == 4; };
    return (family24(handheld) && family24(file)) || handheld == file;
}

struct FlashOptions {
    std::string port;
    std::string file;
    std::string loader;  // empty: the one beside the program
    std::string log;
    bool advanced = false;
    bool highSpeed = false;
    bool yes = false;
    uint32_t timeoutMs = kDefaultTimeoutSeconds * 1000;
};

// Returns 0, or the exit status of a usage error (already reported).
int ParseOptions(int argc, char** argv, FlashOptions& o) {
    bool loaderGiven = false;
    for (int i = 0; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool inlineValue = false;
        if (name.starts_with("--")) {
            if (const size_t eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                inlineValue = true;
            }
        }
        const bool takesValue =
            name == "--port" || name == "--loader" || name == "--timeout" || name == "--log";
        if (takesValue && !inlineValue) {
            if (i + 1 >= argc) return UsageError(kCommand, (name + " needs a value").c_str());
            value = argv[++i];
        } else if (!takesValue && inlineValue) {
            return UsageError(kCommand, (name + " takes no value").c_str());
        }
        if (name == "--port") {
            o.port = value;
        } else if (name == "--loader") {
            o.loader = value;
            loaderGiven = true;
        } else if (name == "--log") {
            o.log = value;
        } else if (name == "--timeout") {
            char* end = nullptr;
            const unsigned long seconds = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || value[0] == '-' || seconds == 0 ||
                seconds > kMostTimeoutSeconds)
                return UsageError(
                    kCommand,
                    ("--timeout needs whole seconds from 1 to 86400, not '" + value + "'").c_str());
            o.timeoutMs = static_cast<uint32_t>(seconds) * 1000;
        } else if (name == "--advanced") {
            o.advanced = true;
        } else if (name == "--high-speed") {
            o.highSpeed = true;
        } else if (name == "--yes") {
            o.yes = true;
        } else if (name.size() > 1 && name[0] == '-') {
            return UsageError(kCommand, ("unknown option " + name).c_str());
        } else if (!o.file.empty()) {
            return UsageError(kCommand, "expected one update FILE");
        } else {
            o.file = name;
        }
    }
    if (o.port.empty()) return UsageError(kCommand, "--port DEVICE is required");
    if (o.file.empty()) return UsageError(kCommand, "expected one update FILE");
    if (loaderGiven && !o.advanced)
        return UsageError(kCommand,
                          "--loader goes with --advanced (in normal mode the loader already runs)");
    return 0;
}

// A text of the string table with its question cut off ("...\n\nAre you sure...?").
std::string Statement(int id) {
    const char* text = StringManager().TryGetString(id);
    std::string s = text ? text : "";
    if (const size_t cut = s.find("\n\n"); cut != std::string::npos) s.resize(cut);
    return s;
}

// How a run ends: an engine code, or a refusal of ours with its message.
struct Outcome {
    TResult code = rc::Success;
    std::string refusal;
    // A refusal the user may overrule on the next run: the loader is left running for it.
    bool keepLoader = false;

    bool Done() const { return code == rc::Success && refusal.empty(); }
    static Outcome Code(TResult c) { return {c, {}, false}; }
    static Outcome Refuse(std::string why, bool keepLoader = false) {
        return {rc::Success, std::move(why), keepLoader};
    }
};

std::string Format(const char* format, unsigned a, unsigned b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

class FlashRun {
public:
    FlashRun(const FlashOptions& options, ConsoleProgress& progress)
        : o_(options), progress_(progress), pm_(&progress) {
        pm_.Options().advancedMode = o_.advanced;
        pm_.Options().highSpeed = o_.highSpeed;
    }

    // Everything the handheld sees of this run, and the goodbye at the end, unless the loader
    // is kept for another run: that one starts at the reset speed, so the loader goes back to it.
    Outcome Run(const uint8_t* loader, uint32_t loaderSize, const char* portName) {
        const Outcome outcome = Steps(loader, loaderSize, portName);
        progress_.EndLine();
        if (outcome.keepLoader) {
            if (pm_.Port()->BaudRate() != kResetRate) pm_.SetBaudRate(kResetRate);
            pm_.Port()->Close();
        } else {
            pm_.Disconnect();
        }
        return outcome;
    }

private:
    Outcome Steps(const uint8_t* loader, uint32_t loaderSize, const char* portName) {
        progress_.Step(("Opening " + o_.port).c_str());
        if (const TResult r = pm_.OpenPort(portName)) return Outcome::Code(r);

        if (o_.advanced) {
            progress_.Step("Waiting for the ROM debugger... (Ctrl-C gives up)");
            TResult r =
                Wait([&] { return pm_.ConnectDebugger(); },
                     [](TResult c) { return c == rc::DebuggerTimeout || c == rc::NotInDebugger; });
            if (r) return Outcome::Code(r);
            progress_.Step("Uploading the loader");
            // An image without the loader's entry mark will not start however often it is
            // sent; anything else may be the line or a handheld not yet listening.
            r = Wait([&] { return pm_.UploadLoader(loader, loaderSize, kLoaderBufferSize); },
                     [](TResult c) { return c != rc::ExecuteError && c != rc::NoEngine; });
            if (r) return Outcome::Code(r);
        }

        progress_.Step("Waiting for the loader... (Ctrl-C gives up)");
        if (const TResult r = Wait([&] { return pm_.StartLoader(); },
                                   [](TResult c) { return c == rc::CommTimeout; })) {
            if (r == rc::CommTimeout && !o_.advanced)
                std::fprintf(stderr,
                             "No loader answered. Normal mode needs Bootlet running on the "
                             "handheld; a handheld in its ROM debugger needs --advanced.\n");
            return Outcome::Code(r);
        }
        if (!pm_.IsConnected()) return Outcome::Code(rc::NotConnected);
        uint32_t capacity = 0;
        if (const TResult r = pm_.FlashCapacity(&capacity)) return Outcome::Code(r);
        std::fprintf(stderr,
                     "Loader answered: device type %u, %" PRIu32 " KiB of flash, %" PRIu32
                     " bit/s\n",
                     pm_.DeviceType(), capacity / 1024, pm_.Port()->BaudRate());

        if (!o_.advanced) {
            if (const TResult r = pm_.CheckBattery()) return Outcome::Code(r);
        }
        if (Outcome refusal = CheckHandheld(capacity); !refusal.Done()) return refusal;
        if (progress_.CheckInterrupt()) return Outcome::Code(rc::UserAbort);

        progress_.Step("Erasing RAM store");
        if (const TResult r = pm_.EraseRamStore()) return Outcome::Code(r);
        progress_.MeasuredStep("Flashing OS");
        if (const TResult r = pm_.FlashOsImage(o_.file.c_str())) {
            // The code has no text of its own; say what it means here.
            if (r == rc::FlashStoreNotBlank)
                std::fprintf(stderr,
                             "The OS is written, but the flash store behind it is not blank, so "
                             "it was not set up (is this update installed already?).\n");
            return Outcome::Code(r);
        }
        if (o_.advanced) {
            progress_.MeasuredStep("Installing RAM image");
            if (const TResult r = pm_.InstallRamImage(o_.file.c_str())) return Outcome::Code(r);
        }
        return {};
    }

    // The checks between the loader's answer and the first write: the handheld's kind, the
    // file's fit, and whether the file's sections can be flashed at all, which the engine
    // would only find out after the RAM store is gone.
    Outcome CheckHandheld(uint32_t capacity) {
        const uint8_t handheld = pm_.DeviceType();
        const auto file = static_cast<uint8_t>(IMGDevice(o_.file.c_str()));
        if (o_.advanced) {
            if (!SupportedDevice(handheld))
                return Outcome::Refuse(Statement(kTextUnsupportedHandheld) +
                                       Format(" (the handheld reports device type %u)", handheld));
        } else if (!DeviceMatches(handheld, file)) {
            if (!o_.yes)
                return Outcome::Refuse(
                    Statement(kTextDeviceMismatch) +
                        Format(" (the file is for device %u, the handheld is device %u)", file,
                               handheld) +
                        " Give --yes to flash it anyway; the loader keeps running for that.",
                    true);
            std::fprintf(stderr,
                         "The file is for device %u, the handheld is device %u: "
                         "flashing anyway (--yes)\n",
                         file, handheld);
        }

        const uint32_t needs = UpdateFileOsSize(o_.file.c_str());
        // Unsigned: a size that saturated at 0xFFFFFFFF must not pass as a small one.
        if (needs > capacity)
            return Outcome::Refuse(
                Statement(kTextImageTooBig) +
                Format(" (the OS needs %u bytes, the flash holds %u)", needs, capacity));
        if (const TResult r = CheckSectionsCanBeFlashed()) return Outcome::Code(r);

        if (!o_.advanced) {
            if (const uint32_t ram = UpdateFileRamSize(o_.file.c_str()))
                std::fprintf(stderr,
                             "The file carries %u bytes of RAM data; normal mode does not install "
                             "RAM data (use --advanced for that). Flashing the OS only.\n",
                             static_cast<unsigned>(ram));
        }
        return {};
    }

    TResult CheckSectionsCanBeFlashed() {
        TUpdateFile file;
        if (!file.Open(o_.file.c_str())) return rc::UpdateReadError;
        OsMap map;
        if (const TResult r = file.ReadOsMap(map)) return r;
        return CheckSectionsFit(pm_.Loader()->Chips(), map.Sections());
    }

    // Repeats `attempt` every 250 ms while it fails in a way `retry` accepts, until it
    // succeeds, fails otherwise or the time-out passes (then its last code). Ctrl-C ends the
    // wait with -1101.
    template <typename Attempt, typename Retry>
    TResult Wait(Attempt attempt, Retry retry) {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + milliseconds(o_.timeoutMs);
        for (;;) {
            if (progress_.CheckInterrupt()) return rc::UserAbort;
            const TResult r = attempt();
            if (progress_.CheckInterrupt()) return rc::UserAbort;
            if (r == rc::Success || !retry(r) || steady_clock::now() >= deadline) return r;
            const auto next = steady_clock::now() + milliseconds(kRetryPauseMs);
            while (steady_clock::now() < next) {
                if (progress_.CheckInterrupt()) return rc::UserAbort;
                std::this_thread::sleep_for(milliseconds(10));
            }
        }
    }

    const FlashOptions& o_;
    ConsoleProgress& progress_;
    TPilotManager pm_;
};

// The device name as the port keeps it: a name too long for the port is tried by its real
// path (a link in a deep folder often points at a short /dev name).
bool PortName(const std::string& given, std::string& name) {
    name = given;
    if (name.size() <= kMostPortName) return true;
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(given, error);
    if (error || real.string().size() > kMostPortName) return false;
    name = real.string();
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "kestrel-flash %s: %s\n", kCommand, message.c_str());
    return 1;
}

int FailCode(TResult code) {
    std::fprintf(stderr, "error %d: %s\n", code, ErrorText(code));
    return 1;
}

}  // namespace

int RunFlash(int argc, char** argv) {
    FlashOptions o;
    if (const int status = ParseOptions(argc, argv, o)) return status;

    // The file is judged before the handheld is touched, the port not even opened.
    if (const TResult r = VerifyUpdateFile(o.file.c_str())) return FailCode(r);
    const auto device = static_cast<uint8_t>(IMGDevice(o.file.c_str()));
    if (!SupportedDevice(device))
        return Fail(Statement(kTextFileNotForHalvex) +
                    Format(" (the file is for device %u)", device));

    std::unique_ptr<uint8_t[]> loader;
    uint32_t loaderSize = 0;
    if (o.advanced) {
        if (o.loader.empty()) {
            const std::string dir = flash_console::ProgramDirectory();
            o.loader = (std::filesystem::path(dir) / kDefaultLoader).string();
            if (dir.empty() || !std::filesystem::exists(o.loader))
                return Fail("no loader beside the program (" + o.loader +
                            "); give one with --loader FILE");
        }
        loader = std::make_unique<uint8_t[]>(kLoaderBufferSize);
        loaderSize = kLoaderBufferSize;
        if (const TResult r = UtlLoadFile(o.loader.c_str(), loader.get(), &loaderSize)) {
            std::fprintf(stderr, "kestrel-flash %s: cannot load the loader %s (at most %u bytes)\n",
                         kCommand, o.loader.c_str(), static_cast<unsigned>(kLoaderBufferSize));
            return FailCode(r);
        }
    }

    std::string portName;
    std::error_code error;
    if (!std::filesystem::exists(o.port, error)) return Fail("no such device: " + o.port);
    if (std::filesystem::is_regular_file(o.port, error) ||
        std::filesystem::is_directory(o.port, error))
        return Fail(o.port + " is not a serial device");
    if (!PortName(o.port, portName))
        return Fail("the device name " + o.port + " is longer than " +
                    std::to_string(kMostPortName) + " characters; give a shorter path or link");

    if (!o.log.empty()) {
        if (!OpenLogFile(o.log.c_str())) return Fail("cannot write the log file " + o.log);
        SetLogThreshold(9);
    }

    flash_console::CatchInterrupts();
    ConsoleProgress progress(stderr, flash_console::StderrIsTerminal(), flash_console::Interrupted);
    FlashRun run(o, progress);
    const Outcome outcome = run.Run(loader.get(), loaderSize, portName.c_str());
    CloseLog();
    if (!outcome.refusal.empty()) return Fail(outcome.refusal);
    if (outcome.code != rc::Success) return FailCode(outcome.code);
    const bool ram = o.advanced && UpdateFileRamSize(o.file.c_str()) != 0;
    std::fprintf(stderr, "Done: the handheld holds the new OS%s.\n",
                 ram ? " and the file's RAM data" : "");
    return 0;
}
