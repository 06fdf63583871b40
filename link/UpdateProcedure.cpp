#include "link/UpdateProcedure.h"

#include <algorithm>
#include <utility>

#include "image/UpdateFile.h"
#include "link/CommPort.h"
#include "link/FlashChips.h"
#include "link/FlashPreview.h"
#include "link/Loader.h"
#include "link/Pilotmanager.h"
#include "link/UpdateJob.h"

namespace {

// The RAM base of a hardware id the kit does not know.
constexpr uint32_t kUnknownRamBase = 0xFFFFFFFF;

// Which failures of a wait's attempt are worth another try: the handheld may not be
// listening yet. Anything else (an image without the loader's entry mark, a port that is
// gone) fails the same way however often it is tried.
bool DebuggerMayAnswerLater(TResult code) {
    return code == rc::DebuggerTimeout || code == rc::NotInDebugger;
}
bool UploadMayWorkLater(TResult code) {
    return code != rc::ExecuteError && code != rc::NoEngine && code != rc::NotConnected;
}
bool LoaderMayAnswerLater(TResult code) { return code == rc::CommTimeout; }

}  // namespace

bool IsSupportedDevice(uint16_t code) {
    return std::find(std::begin(kSupportedDevices), std::end(kSupportedDevices), code) !=
           std::end(kSupportedDevices);
}

bool DeviceMatches(uint8_t handheld, uint16_t file) {
    const auto family24 = [](uint16_t c) { return c == 2 || c == 4; };
    return (family24(handheld) && family24(file)) || handheld == file;
}

bool ChosenWithoutAsking(uint8_t handheld, uint16_t file) { return file == handheld; }

UpdateOutcome JudgeChosenFile(const char* path, bool advancedMode, uint8_t handheldDevice,
                              UpdateUi& ui) {
    if (const TResult r = VerifyUpdateFile(path)) return UpdateOutcome::Code(r);
    UpdateFacts facts;
    facts.fileDevice = IMGDevice(path);
    facts.handheldDevice = handheldDevice;
    if (!IsSupportedDevice(facts.fileDevice)) {
        ui.Refuse(UpdateRefusal::FileNotForHalvex, facts);
        return UpdateOutcome::Refused(UpdateRefusal::FileNotForHalvex);
    }
    // In advanced mode the handheld is not asked; in normal mode it is the one connected.
    if (!advancedMode && !DeviceMatches(handheldDevice, facts.fileDevice) &&
        !ui.Ask(UpdateQuestion::FlashOtherDevice, facts)) {
        ui.Refuse(UpdateRefusal::DeviceMismatch, facts);
        return UpdateOutcome::Refused(UpdateRefusal::DeviceMismatch, true);
    }
    return {};
}

LoaderAttemptResult TryRunningLoader(TPilotManager& manager, const char* port, bool openPort) {
    if (openPort) {
        if (const TResult r = manager.OpenPort(port)) return {LoaderAttempt::Failed, r};
    }
    if (const TResult r = manager.StartLoader()) {
        return {LoaderMayAnswerLater(r) ? LoaderAttempt::NotYet : LoaderAttempt::Failed, r};
    }
    if (!manager.IsConnected()) return {LoaderAttempt::NotYet, rc::CommTimeout};
    // A battery query that goes unanswered vouches for nothing either.
    if (const TResult r = manager.CheckBattery()) {
        (void)manager.Disconnect();
        return {LoaderAttempt::BatteryLow, r};
    }
    return {LoaderAttempt::Connected, rc::Success};
}

UpdateProcedure::UpdateProcedure(TPilotManager& manager, UpdateUi& ui, std::string updateFile)
    : manager_(manager), ui_(ui), file_(std::move(updateFile)) {}

UpdateOutcome JudgeUpdateImage(const std::shared_ptr<const UpdateImage>& image, UpdateFacts& facts,
                               const ReadIdle& idle) {
    if (const TResult r = CheckUpdateImage(image, idle)) return UpdateOutcome::Code(r);
    facts.fileDevice = ImageDevice(image);
    if (!IsSupportedDevice(facts.fileDevice))
        return UpdateOutcome::Refused(UpdateRefusal::FileNotForHalvex);
    return {};
}

UpdateOutcome JudgeUpdateFile(const char* path, UpdateFacts& facts, const ReadIdle& idle) {
    std::shared_ptr<const UpdateImage> image;
    if (const TResult r = UpdateImage::Load(path, image, idle)) return UpdateOutcome::Code(r);
    return JudgeUpdateImage(image, facts, idle);
}

ReadIdle UpdateProcedure::FileIdle() {
    // No wait on the line: Pause(0) only hands the thread over when that is due.
    return [this] {
        if (TCommPort* port = manager_.Port()) port->Pause(0);
    };
}

UpdateOutcome UpdateProcedure::Judge() {
    if (image_) return {};
    std::shared_ptr<const UpdateImage> image;
    if (const TResult r = UpdateImage::Load(file_.c_str(), image, FileIdle()))
        return UpdateOutcome::Code(r);
    UpdateOutcome outcome = JudgeUpdateImage(image, facts_, FileIdle());
    if (outcome.refused) ui_.Refuse(outcome.refusal, facts_);
    if (!outcome.Done()) return outcome;
    // A file without an OS would have the RAM store erased for nothing, and a "done" said of
    // an OS never written; advanced mode installs its RAM data, if it has any.
    TUpdateFile file;
    OsMap os;
    RamMap ram;
    if (!file.Attach(image)) return UpdateOutcome::Code(rc::UpdateReadError);
    if (const TResult r = file.ReadOsMap(os)) return UpdateOutcome::Code(r);
    if (const TResult r = file.ReadRamMap(ram)) return UpdateOutcome::Code(r);
    facts_.osSections = os.count;
    if (os.count == 0 && (!manager_.Options().advancedMode || ram.count == 0))
        return UpdateOutcome::Code(rc::NoOsInFile);
    // Only a file that passed is kept: a refused one is read afresh by the next try.
    image_ = std::move(image);
    return outcome;
}

UpdateOutcome UpdateProcedure::CheckFile() { return Judge(); }

TResult UpdateProcedure::CheckRamSections() {
    TUpdateFile file;
    if (!file.Attach(image_)) return rc::UpdateReadError;
    file.SetIdle(FileIdle());
    RamMap map;
    if (const TResult r = file.ReadRamMap(map)) return r;
    if (map.count == 0) return rc::Success;
    uint32_t base = 0;
    if (const TResult r = manager_.Loader()->RamBase(&base)) return r;
    // RAM lies between its base and the flash above it; a handheld of unknown kind has no
    // RAM the kit knows of.
    const uint32_t flash = manager_.Loader()->FlashBase();
    const uint64_t end = flash > base ? flash : (uint64_t{1} << 32);
    if (base == kUnknownRamBase) return rc::RamOutside;
    for (const RamSection& s : map.Sections())
        if (s.address < base || uint64_t{s.address} + s.size > end) return rc::RamOutside;
    return rc::Success;
}

TResult UpdateProcedure::CheckFlashWrites() {
    TUpdateFile file;
    if (!file.Attach(image_)) return rc::UpdateReadError;
    file.SetIdle(FileIdle());
    OsMap map;
    if (const TResult r = file.ReadOsMap(map)) return r;
    // Whether every section can be flashed whole, which the engine would otherwise only find
    // out at the offending section, after the RAM store is gone.
    TLoader& loader = *manager_.Loader();
    if (const TResult r = CheckSectionsFit(loader.Chips(), map.Sections())) return r;
    // Likewise the flash store the finalisation sets up behind the OS: a reset vector or a
    // store start that points nowhere, or a store page the file fills, would fail it on
    // every run after the erase.
    bool finalise = false;
    if (const TResult r = file.ReadFinalisation(finalise)) return r;
    if (!finalise || map.count == 0) return rc::Success;
    FlashPreview preview(loader, image_, map);
    return loader.CheckFlashStore([&preview](uint32_t offset, uint8_t* to, uint16_t count) {
        return preview.Read(offset, to, count);
    });
}

template <typename Attempt, typename Retry>
TResult UpdateProcedure::Wait(UpdateStage stage, Attempt attempt, Retry retry) {
    ui_.Progress(stage);
    for (;;) {
        if (ui_.StopRequested()) return rc::UserAbort;
        const TResult r = attempt();
        if (ui_.StopRequested()) return rc::UserAbort;
        if (r == rc::Success || !retry(r)) return r;
        if (!ui_.KeepWaiting(stage)) return ui_.StopRequested() ? rc::UserAbort : r;
    }
}

UpdateOutcome UpdateProcedure::Connect(const char* port, const uint8_t* loader, uint32_t loaderSize,
                                       uint32_t loaderBufferSize) {
    ui_.Progress(UpdateStage::OpeningPort);
    if (const TResult r = manager_.OpenPort(port)) return UpdateOutcome::Code(r);

    if (manager_.Options().advancedMode) {
        if (const TResult r = Wait(
                UpdateStage::WaitingForDebugger, [&] { return manager_.ConnectDebugger(); },
                DebuggerMayAnswerLater))
            return UpdateOutcome::Code(r);
        return SendLoader(loader, loaderSize, loaderBufferSize);
    }
    return ReachLoader();
}

UpdateOutcome UpdateProcedure::SendLoader(const uint8_t* loader, uint32_t loaderSize,
                                          uint32_t loaderBufferSize) {
    const TResult r = Wait(
        UpdateStage::SendingLoader,
        [&] {
            // A port closed meanwhile (the user went back) reaches no handheld however long
            // the offer is made.
            if (!manager_.Port() || !manager_.Port()->IsOpen()) return rc::NotConnected;
            return manager_.UploadLoader(loader, loaderSize, loaderBufferSize);
        },
        UploadMayWorkLater);
    if (r) return UpdateOutcome::Code(r);
    return ReachLoader();
}

UpdateOutcome UpdateProcedure::ReachLoader() {
    if (const TResult r = Wait(
            UpdateStage::WaitingForLoader, [&] { return manager_.StartLoader(); },
            LoaderMayAnswerLater))
        return UpdateOutcome::Code(r);
    return ReadHandheld();
}

UpdateOutcome UpdateProcedure::TakeConnectedLoader() {
    if (manager_.IsConnected()) return ReadHandheld();
    // The link an earlier attempt lost (the line died, the handheld was restarted): the loader
    // is looked for again on the same port, at either speed it may have been left at.
    if (!manager_.Port()) return UpdateOutcome::Code(rc::NoEngine);
    const std::string port = manager_.Port()->PortName();
    ui_.Progress(UpdateStage::OpeningPort);
    if (const TResult r = manager_.OpenPort(port.c_str())) return UpdateOutcome::Code(r);
    return ReachLoader();
}

UpdateOutcome UpdateProcedure::ReadHandheld() {
    if (!manager_.IsConnected()) return UpdateOutcome::Code(rc::NotConnected);
    if (const TResult r = manager_.FlashCapacity(&facts_.flashCapacity))
        return UpdateOutcome::Code(r);
    facts_.handheldDevice = manager_.DeviceType();
    facts_.lineSpeed = manager_.Port()->BaudRate();
    facts_.flashChips.clear();
    const ChipTable& chips = manager_.Loader()->Chips();
    for (uint16_t i = 0; i < chips.count; ++i) {
        // Only recognised chips enter the table.
        const RecognisedChip* chip =
            FindRecognisedChip(chips.chips[i].manufacturer, chips.chips[i].device);
        if (!facts_.flashChips.empty()) facts_.flashChips += " + ";
        facts_.flashChips += chip ? chip->name : "?";
    }
    ui_.ReportHandheld(facts_);
    return {};
}

UpdateOutcome UpdateProcedure::CheckHandheld() {
    const bool advanced = manager_.Options().advancedMode;
    // The advanced road has no HotSync before it to tell the battery; the wizard does not ask
    // there either.
    if (!advanced) {
        if (const TResult r = manager_.CheckBattery()) return UpdateOutcome::Code(r);
    }

    if (UpdateOutcome judged = Judge(); !judged.Done()) return judged;
    facts_.handheldDevice = manager_.DeviceType();
    if (advanced) {
        if (!IsSupportedDevice(facts_.handheldDevice)) {
            ui_.Refuse(UpdateRefusal::UnsupportedHandheld, facts_);
            return UpdateOutcome::Refused(UpdateRefusal::UnsupportedHandheld);
        }
    } else if (!DeviceMatches(facts_.handheldDevice, facts_.fileDevice) &&
               !ui_.Ask(UpdateQuestion::FlashOtherDevice, facts_)) {
        // The user may think again and run once more: the loader stays for that run.
        ui_.Refuse(UpdateRefusal::DeviceMismatch, facts_);
        return UpdateOutcome::Refused(UpdateRefusal::DeviceMismatch, true);
    }

    // Unsigned: a size that saturated at 0xFFFFFFFF must not pass as a small one.
    facts_.osSize = ImageOsSize(image_, FileIdle());
    if (facts_.osSize > facts_.flashCapacity) {
        ui_.Refuse(UpdateRefusal::ImageTooBig, facts_);
        return UpdateOutcome::Refused(UpdateRefusal::ImageTooBig);
    }
    if (const TResult r = CheckFlashWrites()) return UpdateOutcome::Code(r);

    facts_.ramSize = ImageRamSize(image_, FileIdle());
    if (advanced) {
        if (const TResult r = CheckRamSections()) return UpdateOutcome::Code(r);
    } else if (facts_.ramSize != 0 && !ui_.Ask(UpdateQuestion::FlashWithoutRamData, facts_)) {
        return UpdateOutcome::Code(rc::UserAbort);
    }
    if (ui_.StopRequested()) return UpdateOutcome::Code(rc::UserAbort);
    return {};
}

UpdateOutcome UpdateProcedure::Write() {
    // Nothing is written that was not judged.
    if (!image_) return UpdateOutcome::Code(rc::NotConnected);
    ui_.Progress(UpdateStage::ErasingRamStore);
    if (const TResult r = manager_.EraseRamStore()) return UpdateOutcome::Code(r);
    ui_.Progress(UpdateStage::FlashingOs);
    if (const TResult r = manager_.FlashOsImage(image_)) return UpdateOutcome::Code(r);
    if (manager_.Options().advancedMode) {
        ui_.Progress(UpdateStage::InstallingRam);
        if (const TResult r = manager_.InstallRamImage(image_)) return UpdateOutcome::Code(r);
    }
    return {};
}

void UpdateProcedure::Finish(const UpdateOutcome& outcome) {
    if (outcome.keepLoader) {
        // The next run finds the loader at the speed a freshly started one listens at. Were
        // the loader not to follow, that run would find out by its silence.
        if (manager_.Port()->BaudRate() != kConnectLineSpeed)
            (void)manager_.SetBaudRate(kConnectLineSpeed);
        (void)manager_.Port()->Close();
    } else {
        // A port that will not close has nothing more to say to anyone; the update's own
        // outcome is what the user needs.
        (void)manager_.Disconnect();
    }
}

UpdateOutcome UpdateProcedure::Run(const char* port, const uint8_t* loader, uint32_t loaderSize,
                                   uint32_t loaderBufferSize) {
    UpdateOutcome outcome = CheckFile();
    if (!outcome.Done()) return outcome;
    outcome = Connect(port, loader, loaderSize, loaderBufferSize);
    if (outcome.Done()) outcome = CheckHandheld();
    if (outcome.Done()) outcome = Write();
    Finish(outcome);
    return outcome;
}
