#include "app/WizardForm.h"

#include <string>
#include <utility>

#include "app/PageControls.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "base/MessageBoxEdge.h"
#include "base/ResultCodes.h"
#include "base/StringIds.h"
#include "hotsync/HotSyncManager.h"
#include "link/Guicallback.h"
#include "link/Pilotmanager.h"
#include "link/UpdateProcedure.h"

namespace {

// What each step state shows and watches.
struct StepRow {
    bool step1Arrow, step1Check, step2Arrow, step2Check;
    int panel, status;
    int timer;  // the one timer that runs, 0 for none
};
constexpr StepRow kSteps[] = {
    {true, false, false, false, IDC_HS_HOTSYNC_PANEL, IDC_HS_STATUS_PRESS,
     TWizardForm::StartDetection},
    {true, false, false, false, IDC_HS_HOTSYNC_PANEL, IDC_HS_STATUS_WAITING,
     TWizardForm::FinishDetection},
    {false, true, true, false, IDC_HS_RESET_PANEL, IDC_HS_STATUS_RESET, TWizardForm::Connect},
    {false, true, false, true, IDC_HS_RESET_PANEL, IDC_HS_STATUS_NEXT, 0},
};
constexpr int kReady = 3;

struct TimerRow {
    int timer;
    unsigned ms;
};
constexpr TimerRow kTimers[] = {
    {TWizardForm::StartDetection, TWizardForm::kDetectionMs},
    {TWizardForm::FinishDetection, TWizardForm::kDetectionMs},
    {TWizardForm::Connect, TWizardForm::kConnectMs},
};

constexpr int kStatusLines[] = {IDC_HS_STATUS_PRESS, IDC_HS_STATUS_WAITING, IDC_HS_STATUS_RESET,
                                IDC_HS_STATUS_NEXT};

}  // namespace

TWizardForm::TWizardForm(PageUi& ui, const win32_cfg_type& settings, THotSyncManager& hotSync,
                         TPilotManager& link, GuiCallback& callback,
                         std::function<void()> chooseFile)
    : ui_(ui),
      settings_(settings),
      hotSync_(hotSync),
      link_(link),
      callback_(callback),
      chooseFile_(std::move(chooseFile)) {}

void TWizardForm::ShowStep(int step) {
    step_ = step;
    const StepRow& row = kSteps[step];
    ui_.SetVisible(IDC_HS_STEP1_ARROW, row.step1Arrow);
    ui_.SetVisible(IDC_HS_STEP1_CHECK, row.step1Check);
    ui_.SetVisible(IDC_HS_STEP2_ARROW, row.step2Arrow);
    ui_.SetVisible(IDC_HS_STEP2_CHECK, row.step2Check);
    // A step's labels are bold while it is the current one.
    for (int control : {IDC_HS_STEP1_NUMBER, IDC_HS_STEP1_LABEL})
        ui_.SetBold(control, row.step1Arrow);
    for (int control : {IDC_HS_STEP2_NUMBER, IDC_HS_STEP2_LABEL})
        ui_.SetBold(control, row.step2Arrow);
    ui_.SetVisible(IDC_HS_HOTSYNC_PANEL, row.panel == IDC_HS_HOTSYNC_PANEL);
    ui_.SetVisible(IDC_HS_RESET_PANEL, row.panel == IDC_HS_RESET_PANEL);
    // The reset panel shows the box the handheld puts up, so the user knows what to look for.
    const bool resetPanel = row.panel == IDC_HS_RESET_PANEL;
    if (resetPanel && !ui_.HasPicture(IDC_HS_PICTURE))
        ui_.SetPicture(IDC_HS_PICTURE, PageUi::Picture::ResetPromptScreen);
    ui_.SetVisible(IDC_HS_PICTURE, resetPanel);
    for (int line : kStatusLines) ui_.SetVisible(line, line == row.status);
    for (const TimerRow& timer : kTimers) {
        if (timer.timer == row.timer)
            ui_.StartTimer(timer.timer, timer.ms);
        else
            ui_.StopTimer(timer.timer);
    }
    ui_.SetEnabled(IDC_PAGE_NEXT, step == kReady);
    ui_.SetEnabled(IDC_PAGE_CANCEL, true);
    if (step == kReady) ui_.Focus(IDC_PAGE_NEXT);
}

void TWizardForm::Activate() {
    (void)link_.Disconnect();
    // The link is closed, so the connect timer opens the port again on this visit: a user back
    // here must be able to reach the loader again.
    portOpened_ = false;
    if (hotSync_.HotSyncExists()) {
        ShowStep(0);
    } else {
        ui_.AskFixed(kNoPalmDesktopText, kNoPalmDesktopCaption, mb::Ok | mb::IconStop);
        ui_.PostPrevPage();
    }
    // A missing library raises here, and the rest of the entry does not run.
    hotSync_.RegisterNotifier(settings_.notifierPath);
    hotSync_.SetBackupConduit(settings_.conduitPath);
    hotSync_.StartHotSync();
}

void TWizardForm::Timer(int timer) {
    switch (timer) {
        case StartDetection:
            if (step_ == 0 && hotSync_.IsSyncInProgress()) {
                ShowStep(1);
                ui_.ProcessMessages();
                hotSync_.ShowSyncProgress();
            }
            break;
        case FinishDetection:
            if (step_ == 1 && !hotSync_.IsSyncInProgress()) ShowStep(2);
            break;
        case Connect:
            if (step_ == 2) TryToConnect();
            break;
        default: break;
    }
}

LoaderAttemptResult TWizardForm::Attempt() {
    const ScopedIdleHook pump(callback_, [this] { ui_.ProcessMessages(); });
    struct Attempting {
        bool& flag;
        explicit Attempting(bool& f) : flag(f) { flag = true; }
        ~Attempting() { flag = false; }
    } attempting(attempting_);
    const bool openPort = !portOpened_;
    portOpened_ = true;
    return TryRunningLoader(link_, hotSync_.GetComPort().c_str(), openPort);
}

void TWizardForm::TryToConnect() {
    // One attempt at a time: the loader's handshake waits for the handheld, and the timer
    // must not fire again while the attempt lets the page's messages through.
    ui_.StopTimer(Connect);
    // The port must be free of HotSync Manager.
    if (hotSync_.IsHotSyncRunning()) hotSync_.CloseHotSync();
    const LoaderAttemptResult result = Attempt();
    // The user's request comes first: whatever the handheld said is moot now.
    if (const Leave leave = std::exchange(leave_, Leave::None); leave != Leave::None) {
        if (leave == Leave::Back)
            Back();
        else
            ui_.PostClose();
        return;
    }
    switch (result.what) {
        case LoaderAttempt::Failed: {
            std::string text = ui_.String(sid::UnknownLinkError);
            text += std::to_string(result.code) + "=: " + ErrorText(result.code);
            ui_.AskText(text, sid::UnknownLinkErrorCaption, mb::Ok | mb::IconStop);
            ui_.CloseMain();
            return;
        }
        case LoaderAttempt::NotYet:
            // The handheld is not reset yet: try again, without a word.
            ui_.StartTimer(Connect, kConnectMs);
            return;
        case LoaderAttempt::BatteryLow:
            ui_.Ask(sid::BatteryTooLow, sid::BatteryTooLowCaption, mb::Ok | mb::IconInformation);
            ShowStep(kReady);
            ui_.CloseMain();
            return;
        case LoaderAttempt::Connected:
            ui_.SetDeviceType(link_.DeviceType());
            ui_.Beep();
            ShowStep(kReady);
            return;
    }
}

void TWizardForm::Next() {
    if (hotSync_.IsHotSyncRunning()) hotSync_.CloseHotSync();
    if (hotSync_.IsHotSyncRunning()) {
        ui_.AskFixed(kHotSyncDetectedText, kHotSyncDetectedCaption, mb::Ok | mb::IconStop);
        return;
    }
    if (link_.IsConnected())
        chooseFile_();
    else
        ui_.SendShowPage(page::Connection);
}

void TWizardForm::Back() {
    for (const TimerRow& timer : kTimers) ui_.StopTimer(timer.timer);
    ui_.SendPrevPage();
}

void TWizardForm::Command(int control) {
    switch (control) {
        case IDC_PAGE_NEXT: Next(); break;
        case IDC_PAGE_BACK:
            // Another page's entry work must not run under the attempt.
            if (attempting_) {
                if (leave_ == Leave::None) leave_ = Leave::Back;
            } else {
                Back();
            }
            break;
        case IDC_PAGE_CANCEL: ui_.PostClose(); break;
        case IDC_HS_PICTURE:
            ui_.Ask(sid::WrongButton, sid::WrongButtonCaption, mb::Ok | mb::IconInformation);
            break;
        default: break;
    }
}

void TWizardForm::CloseBox() { ui_.PostClose(); }

bool TWizardForm::CloseQuery() {
    // The program's end would take the port from under the attempt; it ends after it.
    if (!attempting_) return true;
    leave_ = Leave::Close;
    return false;
}
