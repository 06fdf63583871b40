#include "app/FinalHotsyncForm.h"

#include "app/PageControls.h"
#include "app/WizardFlow.h"
#include "hotsync/HotSyncManager.h"
#include "link/Pilotmanager.h"

namespace {

// What each state shows and watches.
struct StateRow {
    TFinalHotsyncForm::State state;
    int statusLine;
    bool startDetection, finishDetection, nextEnabled;
};
constexpr StateRow kStates[] = {
    {TFinalHotsyncForm::State::Waiting, IDC_FINAL_PERFORM, true, false, false},
    {TFinalHotsyncForm::State::Running, IDC_FINAL_WAITING, false, true, false},
    {TFinalHotsyncForm::State::Done, IDC_FINAL_CLICK_NEXT, false, false, true},
};

}  // namespace

void TFinalHotsyncForm::Activate() {
    if (!ui_.HasPicture(IDC_FINAL_PICTURE))
        ui_.SetPicture(IDC_FINAL_PICTURE, PageUi::Picture::Device);
    ui_.StopTimer(StartDetection);
    ui_.StopTimer(FinishDetection);
    // The loader has done its work; the port is HotSync Manager's again.
    (void)link_.Disconnect();
    // Staged no more: the restore must not put the loader back on the handheld.
    hotSync_.UnregisterNotifiers();
    hotSync_.StartHotSync();
    Enter(State::Waiting);
}

void TFinalHotsyncForm::Enter(State state) {
    state_ = state;
    for (const StateRow& row : kStates) ui_.SetVisible(row.statusLine, row.state == state);
    for (const StateRow& row : kStates) {
        if (row.state != state) continue;
        if (row.startDetection)
            ui_.StartTimer(StartDetection, kPollMs);
        else
            ui_.StopTimer(StartDetection);
        if (row.finishDetection)
            ui_.StartTimer(FinishDetection, kPollMs);
        else
            ui_.StopTimer(FinishDetection);
        ui_.SetEnabled(IDC_PAGE_NEXT, row.nextEnabled);
    }
}

void TFinalHotsyncForm::Timer(int timer) {
    if (timer == StartDetection && state_ == State::Waiting && hotSync_.IsSyncInProgress()) {
        Enter(State::Running);
        ui_.ProcessMessages();
        hotSync_.ShowSyncProgress();
    } else if (timer == FinishDetection && state_ == State::Running &&
               !hotSync_.IsSyncInProgress()) {
        Enter(State::Done);
    }
}

void TFinalHotsyncForm::Command(int control) {
    switch (control) {
        case IDC_PAGE_NEXT:
        case IDC_FINAL_SKIP:
            ui_.StopTimer(StartDetection);
            ui_.StopTimer(FinishDetection);
            ui_.SetVisible(IDC_FINAL_PICTURE, false);
            ui_.SendShowPage(page::Finish);
            break;
        case IDC_PAGE_CANCEL: ui_.PostClose(); break;
        default: break;
    }
}

void TFinalHotsyncForm::CloseBox() { ui_.PostClose(); }
