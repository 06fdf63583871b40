// The update of a handheld from start to end, with every decision the kit makes about it:
// which files and handhelds it serves, the order of the steps, what it refuses, and that the
// file is judged before anything on the handheld is touched. A front end (kestrel-flash's
// console, the wizard's upload page) binds its UI to it; the engine's own percentages reach
// that UI through the GuiCallback of the TPilotManager.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/ResultCodes.h"
#include "image/UpdateFile.h"
#include "image/UpdateImage.h"

class TPilotManager;

// The device codes the kit is made for; every other code is another maker's handheld. Codes
// compare in all their 16 bits: 267 is not 11.
inline constexpr uint16_t kSupportedDevices[] = {6, 7, 11, 15};
bool IsSupportedDevice(uint16_t code);

// Whether a file made for device `file` suits handheld `handheld`: the same code, where 2 and
// 4 are one family.
bool DeviceMatches(uint8_t handheld, uint16_t file);

// Whether a file found beside the program is taken for handheld `handheld` without the user
// naming it: only a file for that very model (a family member is the user's own choice).
bool ChosenWithoutAsking(uint8_t handheld, uint16_t file);

// The stages of an update, each announced as it begins.
enum class UpdateStage {
    OpeningPort,
    WaitingForDebugger,  // advanced mode: the handheld waits in its ROM debugger
    SendingLoader,       // advanced mode: the loader goes through the debugger
    WaitingForLoader,
    ErasingRamStore,
    FlashingOs,
    InstallingRam,  // advanced mode: the file's RAM sections
};

// Why the procedure will not go on with this file or handheld.
enum class UpdateRefusal {
    FileNotForHalvex,     // the file is made for another maker's handheld
    UnsupportedHandheld,  // advanced mode: the handheld is not a Halvex one
    DeviceMismatch,       // normal mode: the file is for another model, and the user said no
    ImageTooBig,          // the OS does not fit the handheld's flash
};

// What the procedure asks before it goes on.
enum class UpdateQuestion {
    FlashOtherDevice,     // normal mode: flash a file made for another model?
    FlashWithoutRamData,  // normal mode: the file carries RAM data, which only advanced mode writes
};

// What the procedure knows when it asks, refuses or reports; 0 where not yet known.
struct UpdateFacts {
    uint16_t fileDevice = 0;     // the file's device code
    uint8_t handheldDevice = 0;  // the device type the loader reported
    uint32_t flashCapacity = 0;
    std::string flashChips;   // the names of the handheld's flash chips, "+" between two
    uint16_t osSections = 0;  // the file's OS sections; none in a file of RAM data alone
    uint32_t osSize = 0;      // the end of the file's highest OS section
    uint32_t ramSize = 0;     // the file's bytes of RAM data
    uint32_t lineSpeed = 0;   // bits per second once the loader answered
};

class UpdateUi {
public:
    virtual ~UpdateUi() = default;
    // A stage begins.
    virtual void Progress(UpdateStage stage) = 0;
    // True to go on.
    virtual bool Ask(UpdateQuestion question, const UpdateFacts& facts) = 0;
    virtual void Refuse(UpdateRefusal refusal, const UpdateFacts& facts) = 0;
    // The loader answered: the handheld's device, flash and line speed are known.
    virtual void ReportHandheld(const UpdateFacts& facts) = 0;
    // Called between two attempts of a wait (the debugger, the loader upload, the loader's
    // answer): pauses as the front end sees fit and tells whether to try again.
    virtual bool KeepWaiting(UpdateStage stage) = 0;
    // Whether the user asked to stop; seen between steps and attempts (inside the flash the
    // engine sees the GuiCallback's abort flag).
    virtual bool StopRequested() = 0;
};

// How an update, or one phase of it, ended.
struct UpdateOutcome {
    TResult code = rc::Success;
    bool refused = false;
    UpdateRefusal refusal = UpdateRefusal::FileNotForHalvex;
    // The loader is left running for another run that the user may make (after a refusal
    // the user may overrule); otherwise the end of the update tells it to leave.
    bool keepLoader = false;

    bool Done() const { return code == rc::Success && !refused; }
    static UpdateOutcome Code(TResult code) { return {code, false, {}, false}; }
    static UpdateOutcome Refused(UpdateRefusal why, bool keepLoader = false) {
        return {rc::Success, true, why, keepLoader};
    }
};

// The file alone judged, as CheckFile does, without a UI: the whole-file check, then that it
// is for a Halvex handheld (a refusal). `facts` gets the file's device; `idle` is called as the
// file is read.
UpdateOutcome JudgeUpdateImage(const std::shared_ptr<const UpdateImage>& image, UpdateFacts& facts,
                               const ReadIdle& idle = {});
// The same of the file at `path`, read once.
UpdateOutcome JudgeUpdateFile(const char* path, UpdateFacts& facts, const ReadIdle& idle = {});

// A file the user names for an update (the wizard's browse page): its integrity, that it is
// for a Halvex handheld (refused), and in normal mode, where the handheld is connected, that
// it is for that model or the user agrees to flash it anyway (refused when not). The whole
// file is judged again, read once, when the update begins.
UpdateOutcome JudgeChosenFile(const char* path, bool advancedMode, uint8_t handheldDevice,
                              UpdateUi& ui);

// How one attempt at a running loader ended.
enum class LoaderAttempt {
    Connected,   // the loader answered and the battery will do
    NotYet,      // no answer yet: the handheld may not be reset yet
    BatteryLow,  // the link is closed again: no update on a battery the loader cannot vouch for
    Failed,      // the port or the link failed; the code says how
};
struct LoaderAttemptResult {
    LoaderAttempt what;
    TResult code;
};
// One attempt at the loader a reset handheld starts, for a front end that waits between
// attempts on its own (the wizard's HotSync page, on a timer): opens `port` first when
// `openPort`, asks for the loader and, once it answers, checks the battery.
LoaderAttemptResult TryRunningLoader(TPilotManager& manager, const char* port, bool openPort);

class UpdateProcedure {
public:
    // Neither is owned. The manager's options say the mode and the line speed.
    UpdateProcedure(TPilotManager& manager, UpdateUi& ui, std::string updateFile);

    // The phases in their order; each may be called on its own where a front end spreads
    // them over its pages (the wizard connects on one page and writes on another).

    // The file is read once, into memory, by the first of CheckFile and CheckHandheld, and
    // judged there; what was judged is what Write writes, whatever becomes of the file on
    // disk. Reading and judging take a fraction of a second for four megabytes under Wine;
    // meanwhile the thread goes to the port's LineIdle (the page's message pump) as it does
    // in a wait on the line.

    // Judges the file before any port is opened: its integrity, that it is for a Halvex
    // handheld, and that it holds an OS to write (advanced mode: or RAM data to install).
    [[nodiscard]] UpdateOutcome CheckFile();
    // Opens the port and reaches the loader: in advanced mode through the ROM debugger, which
    // is sent `loader` (`loaderBufferSize` bytes readable at it, `loaderSize` of them the
    // file); in normal mode the loader already runs.
    [[nodiscard]] UpdateOutcome Connect(const char* port, const uint8_t* loader,
                                        uint32_t loaderSize, uint32_t loaderBufferSize);
    // For a front end whose earlier page reached the ROM debugger (the wizard's connection
    // page): the loader is sent, offered again while the UI keeps waiting, and waited for.
    [[nodiscard]] UpdateOutcome SendLoader(const uint8_t* loader, uint32_t loaderSize,
                                           uint32_t loaderBufferSize);
    // For a front end that reached the loader on its own (the wizard's earlier pages): the
    // handheld's flash, device and line speed are read, as Connect reads them. A link lost
    // since (an attempt whose line died) is reached again on the same port.
    [[nodiscard]] UpdateOutcome TakeConnectedLoader();
    // With the loader connected: the battery (normal mode), the file (when CheckFile did not
    // judge it), the handheld's kind, that the OS fits and can be flashed in whole blocks,
    // that the flash store behind it can be finalised, that the RAM data lies in the
    // handheld's RAM (advanced mode), and the RAM data normal mode leaves out.
    [[nodiscard]] UpdateOutcome CheckHandheld();
    // Erases the RAM store, flashes the OS and, in advanced mode, installs the RAM data.
    [[nodiscard]] UpdateOutcome Write();
    // Tells the loader to leave and closes the port, or, when the outcome keeps the loader,
    // puts the line back to the speed a new run starts at and closes the port.
    void Finish(const UpdateOutcome& outcome);

    // All of it: CheckFile, Connect, CheckHandheld, Write, then Finish.
    [[nodiscard]] UpdateOutcome Run(const char* port, const uint8_t* loader, uint32_t loaderSize,
                                    uint32_t loaderBufferSize);

    const UpdateFacts& Facts() const { return facts_; }

private:
    // Repeats `attempt` while it fails with a code `retry` accepts and the UI keeps waiting.
    template <typename Attempt, typename Retry>
    [[nodiscard]] TResult Wait(UpdateStage stage, Attempt attempt, Retry retry);
    // Waits for the loader on the open port, then reads the handheld.
    [[nodiscard]] UpdateOutcome ReachLoader();
    // Reads what the loader tells of the handheld and reports it.
    [[nodiscard]] UpdateOutcome ReadHandheld();
    // Whether every RAM section lies in the handheld's RAM.
    [[nodiscard]] TResult CheckRamSections();
    // Whether the OS can be flashed in whole blocks and its flash store finalised, on the
    // flash as the OS will leave it.
    [[nodiscard]] TResult CheckFlashWrites();
    // What the file's readers call between pieces.
    ReadIdle FileIdle();
    // Reads and judges the file, once.
    [[nodiscard]] UpdateOutcome Judge();

    TPilotManager& manager_;
    UpdateUi& ui_;
    std::string file_;
    std::shared_ptr<const UpdateImage> image_;  // the file as read and judged
    UpdateFacts facts_;
};
