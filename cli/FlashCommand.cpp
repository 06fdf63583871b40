// kestrel-flash flash: a whole update of a handheld over a serial line, by the update
// procedure the wizard runs too, with the wizard's questions turned into options and its
// boxes into lines on standard error.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
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
#include "link/SerialEdge.h"
#include "link/UpdateProcedure.h"

namespace {

constexpr const char* kCommand = "flash";
constexpr uint32_t kDefaultTimeoutSeconds = 60;
constexpr uint32_t kRetryPauseMs = 250;
constexpr size_t kMostPortName = 31;  // what the port keeps of a device name
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

// The options as the update needs them. Returns 0, or the exit status of a usage error
// (already reported): the reading itself follows cli/Arguments.h, as for every command.
int TakeOptions(const Arguments& arguments, FlashOptions& o) {
    o.port = arguments.Value("--port");
    o.file = arguments.File();
    o.loader = arguments.Value("--loader");
    o.log = arguments.Value("--log");
    o.advanced = arguments.Given("--advanced");
    o.highSpeed = arguments.Given("--high-speed");
    o.yes = arguments.Given("--yes");
    o.timeoutMs = arguments.Seconds("--timeout", kDefaultTimeoutSeconds) * 1000;
    if (o.port.empty()) return UsageError(kCommand, "--port DEVICE is required");
    if (arguments.Given("--loader") && !o.advanced)
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
                     " bit/s; flash chips: %s\n",
                     facts.handheldDevice, facts.flashCapacity / 1024, facts.lineSpeed,
                     facts.flashChips.c_str());
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

// Why `port` is no port, told before anything opens it; empty for a serial line.
std::string PortRefusal(const std::string& port) {
    switch (MakePortProbe()->Kind(port.c_str())) {
        case PortKind::SerialLine: return {};
        case PortKind::Missing: return "no such device: " + port;
        case PortKind::NotADevice:
        case PortKind::NotATerminal: return port + " is not a serial device";
        case PortKind::PtyMultiplexer:
            return port +
                   " is the pseudo-terminal multiplexer or a master side, not a serial device: "
                   "opening it makes a new pseudo-terminal with nothing at its far end; give the "
                   "device the handheld is on (such as /dev/ttyUSB0, or the /dev/pts/N palmsim "
                   "prints)";
        case PortKind::TerminalAlias:
            return port +
                   " stands for another terminal (this session's or the console), not a serial "
                   "device; give the device the handheld is on";
    }
    return {};
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
                     manager.UpdateUnfinished()
                         ? "The OS is written, but the flash store behind it holds what this "
                           "update did not write, so it was not set up.\n"
                         : "The flash store behind the OS holds what this update would not "
                           "write, so it could not be set up; nothing on the handheld was "
                           "changed.\n");
    if (code == rc::ChipNotRecognised) {
        const ChipListReply& chips = manager.Loader()->LastChipList();
        std::fprintf(stderr,
                     "The handheld's flash chip (maker 0x%X, device 0x%X) is not one the "
                     "loader can program.\n",
                     chips.count ? chips.chips[0].manufacturer : 0,
                     chips.count ? chips.chips[0].device : 0);
    }
    // A store that holds another update's data stays so however often this one is run.
    if (code != rc::Success && code != rc::FlashStoreNotBlank && manager.UpdateUnfinished())
        std::fprintf(stderr,
                     "The handheld holds an unfinished update and its loader keeps running: "
                     "run kestrel-flash flash again (without --advanced) to finish it.\n");
}

}  // namespace

int RunFlash(const Arguments& arguments) {
    FlashOptions o;
    if (const int status = TakeOptions(arguments, o)) return status;

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
    if (const std::string refusal = PortRefusal(o.port); !refusal.empty()) return Fail(refusal);
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
    if (update.Facts().osSections == 0)
        std::fprintf(stderr, "Done: the file holds no OS; its RAM data is installed.\n");
    else
        std::fprintf(stderr, "Done: the handheld holds the new OS%s.\n",
                     o.advanced && update.Facts().ramSize != 0 ? " and the file's RAM data" : "");
    return 0;
}
