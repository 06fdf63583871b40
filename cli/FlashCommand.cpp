// kestrel-flash flash: a whole update of a handheld over a serial line, by the update
// procedure the wizard runs too, with the wizard's questions turned into options and its
// boxes into lines on standard error.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <thread>

#include "base/Log.h"
#include "cli/Commands.h"
#include "cli/ConsoleEdge.h"
#include "cli/ConsoleProgress.h"
#include "cli/Refusals.h"
#include "link/CommPort.h"
#include "link/Loader.h"
#include "link/Pilotmanager.h"
#include "link/UpdateProcedure.h"

namespace {

constexpr const char* kCommand = "flash";
constexpr uint32_t kDefaultTimeoutSeconds = 60;
constexpr uint32_t kMostTimeoutSeconds = 24 * 60 * 60;
constexpr uint32_t kRetryPauseMs = 250;
constexpr uint32_t kLoaderBufferSize = 32768;  // the most a loader file may hold
constexpr size_t kMostPortName = 31;           // what the port keeps of a device name
constexpr const char* kDefaultLoader = "sys/Bootlet.prc";

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
    std::set<std::string> given;
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
        // Which of two values was meant cannot be told; an empty one names nothing.
        const bool option = name.size() > 1 && name[0] == '-';
        if (option && !given.insert(name).second)
            return UsageError(kCommand, (name + " is given twice").c_str());
        if (takesValue && value.empty())
            return UsageError(kCommand, (name + " needs a value").c_str());
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

// The update procedure's UI on a console: stages as lines or a bar, the wizard's questions
// answered by the options, its refusals kept as the command's last word.
class ConsoleUpdateUi final : public UpdateUi {
public:
    ConsoleUpdateUi(const FlashOptions& options, ConsoleProgress& progress)
        : o_(options), progress_(progress) {}

    void Progress(UpdateStage stage) override {
        waitStart_ = std::chrono::steady_clock::now();
        switch (stage) {
            case UpdateStage::OpeningPort: progress_.Step(("Opening " + o_.port).c_str()); break;
            case UpdateStage::WaitingForDebugger:
                progress_.Step("Waiting for the ROM debugger... (Ctrl-C gives up)");
                break;
            case UpdateStage::SendingLoader: progress_.Step("Uploading the loader"); break;
            case UpdateStage::WaitingForLoader:
                progress_.Step("Waiting for the loader... (Ctrl-C gives up)");
                break;
            case UpdateStage::ErasingRamStore: progress_.Step("Erasing RAM store"); break;
            case UpdateStage::FlashingOs: progress_.MeasuredStep("Flashing OS"); break;
            case UpdateStage::InstallingRam: progress_.MeasuredStep("Installing RAM image"); break;
        }
    }

    bool Ask(UpdateQuestion question, const UpdateFacts& facts) override {
        switch (question) {
            case UpdateQuestion::FlashOtherDevice:
                if (o_.yes)
                    std::fprintf(stderr,
                                 "The file is for device %u, the handheld is device %u: "
                                 "flashing anyway (--yes)\n",
                                 facts.fileDevice, facts.handheldDevice);
                return o_.yes;
            case UpdateQuestion::FlashWithoutRamData:
                std::fprintf(stderr,
                             "The file carries %u bytes of RAM data; normal mode does not install "
                             "RAM data (use --advanced for that). Flashing the OS only.\n",
                             static_cast<unsigned>(facts.ramSize));
                return true;
        }
        return false;
    }

    void Refuse(UpdateRefusal refusal, const UpdateFacts& facts) override {
        refusal_ = RefusalText(refusal, facts);
    }

    void ReportHandheld(const UpdateFacts& facts) override {
        std::fprintf(stderr,
                     "Loader answered: device type %u, %" PRIu32 " KiB of flash, %" PRIu32
                     " bit/s\n",
                     facts.handheldDevice, facts.flashCapacity / 1024, facts.lineSpeed);
    }

    // Every 250 ms until --timeout has passed since the wait began; Ctrl-C ends it at once.
    bool KeepWaiting(UpdateStage) override {
        using namespace std::chrono;
        if (steady_clock::now() >= waitStart_ + milliseconds(o_.timeoutMs)) return false;
        const auto next = steady_clock::now() + milliseconds(kRetryPauseMs);
        while (steady_clock::now() < next) {
            if (progress_.CheckInterrupt()) return false;
            std::this_thread::sleep_for(milliseconds(10));
        }
        return true;
    }

    bool StopRequested() override { return progress_.CheckInterrupt(); }

    const std::string& Refusal() const { return refusal_; }

private:
    const FlashOptions& o_;
    ConsoleProgress& progress_;
    std::chrono::steady_clock::time_point waitStart_ = std::chrono::steady_clock::now();
    std::string refusal_;
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

// What a failure code means here, where its own text says too little.
void Explain(TResult code, bool advanced, TPilotManager& manager) {
    if (code == rc::CommTimeout && !advanced)
        std::fprintf(stderr,
                     "No loader answered. Normal mode needs Bootlet running on the "
                     "handheld; a handheld in its ROM debugger needs --advanced.\n");
    if (code == rc::FlashStoreNotBlank)
        std::fprintf(stderr,
                     "The OS is written, but the flash store behind it holds what this update "
                     "did not write, so it was not set up.\n");
    if (code == rc::ChipNotRecognised) {
        const ChipListReply& chips = manager.Loader()->LastChipList();
        std::fprintf(stderr,
                     "The handheld's flash chip (maker 0x%X, device 0x%X) is not one the "
                     "loader can program.\n",
                     chips.count ? chips.chips[0].manufacturer : 0,
                     chips.count ? chips.chips[0].device : 0);
    }
    if (code != rc::Success && manager.UpdateUnfinished())
        std::fprintf(stderr,
                     "The handheld holds an unfinished update and its loader keeps running: "
                     "run kestrel-flash flash again (without --advanced) to finish it.\n");
}

}  // namespace

int RunFlash(int argc, char** argv) {
    FlashOptions o;
    if (const int status = ParseOptions(argc, argv, o)) return status;

    const std::unique_ptr<ConsoleEdge> console = MakeConsoleEdge();
    ConsoleProgress progress(stderr, console->StderrIsTerminal(),
                             [&console] { return console->Interrupted(); });
    ConsoleUpdateUi ui(o, progress);
    TPilotManager manager(&progress);
    manager.Options().advancedMode = o.advanced;
    manager.Options().highSpeed = o.highSpeed;
    UpdateProcedure update(manager, ui, o.file);

    // The file is judged before the handheld is touched, the port not even opened.
    UpdateOutcome outcome = update.CheckFile();
    if (outcome.refused) return Fail(ui.Refusal());
    if (outcome.code) return FailCode(outcome.code);

    std::unique_ptr<uint8_t[]> loader;
    uint32_t loaderSize = 0;
    if (o.advanced) {
        if (o.loader.empty()) {
            const std::string dir = console->ProgramDirectory();
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
    if (!console->IsSerialDevice(o.port)) return Fail(o.port + " is not a serial device");
    if (!PortName(o.port, portName))
        return Fail("the device name " + o.port + " is longer than " +
                    std::to_string(kMostPortName) + " characters; give a shorter path or link");

    if (!o.log.empty()) {
        if (!OpenLogFile(o.log.c_str())) return Fail("cannot write the log file " + o.log);
        SetLogThreshold(9);
    }

    console->CatchInterrupts();
    outcome = update.Connect(portName.c_str(), loader.get(), loaderSize, kLoaderBufferSize);
    if (outcome.Done()) outcome = update.CheckHandheld();
    if (outcome.Done()) outcome = update.Write();
    progress.EndLine();
    Explain(outcome.code, o.advanced, manager);
    update.Finish(outcome);
    CloseLog();
    if (LogWriteFailed())
        std::fprintf(stderr, "kestrel-flash %s: the log %s could not be written whole\n", kCommand,
                     o.log.c_str());
    if (outcome.refused) return Fail(ui.Refusal());
    if (outcome.code != rc::Success) return FailCode(outcome.code);
    std::fprintf(stderr, "Done: the handheld holds the new OS%s.\n",
                 o.advanced && update.Facts().ramSize != 0 ? " and the file's RAM data" : "");
    return 0;
}
