#include "app/FinishForm.h"

#include "app/PageControls.h"
#include "app/Settings.h"
#include "link/Pilotmanager.h"

void TFinishForm::Activate() {
    ui_.SetVisible(IDC_FINISH_EXIT, true);
    const bool advanced = settings_.advancedMode;
    // The picture of the first visit is kept.
    if (!ui_.HasPicture(IDC_FINISH_PICTURE))
        ui_.SetPicture(IDC_FINISH_PICTURE,
                       advanced ? PageUi::Picture::Device : PageUi::Picture::ResetPrompt);
    ui_.SetVisible(IDC_FINISH_SHORT, advanced);
    ui_.SetVisible(IDC_FINISH_LONG, !advanced);
    (void)link_.Disconnect();
}

void TFinishForm::Command(int control) {
    if (control == IDC_FINISH_FINISH) ui_.CloseMain();
}

void TFinishForm::CloseBox() { ui_.PostClose(); }
