#include "app/WelcomeForm.h"

#include "app/PageControls.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "base/MessageBoxEdge.h"
#include "base/StringIds.h"
#include "hotsync/HotSyncManager.h"

void TWelcomeForm::Activate() {
    ui_.Focus(IDC_WELCOME_NORMAL);
    hotSync_.CloseHotSync();
}

void TWelcomeForm::Command(int control) {
    switch (control) {
        case IDC_WELCOME_NORMAL: NormalMode(); break;
        case IDC_WELCOME_ADVANCED: AdvancedMode(); break;
        case IDC_PAGE_CANCEL: ui_.PostClose(); break;
        default: break;
    }
}

void TWelcomeForm::CloseBox() { ui_.PostClose(); }

void TWelcomeForm::NormalMode() {
    if (hotSync_.HotSyncExists()) {
        // A user back here from advanced mode has changed their mind.
        settings_.advancedMode = false;
        ui_.PostShowPage(page::HotSync);
        return;
    }
    if (ui_.Ask(sid::NoPalmDesktop, sid::NoPalmDesktopCaption, mb::OkCancel) == mb::IdOk) {
        settings_.advancedMode = true;
        ui_.PostShowPage(page::Reset);
    } else {
        ui_.PostClose();
    }
}

void TWelcomeForm::AdvancedMode() {
    if (ui_.Ask(sid::AdvancedModeWarning, sid::AdvancedModeWarningCaption,
                mb::OkCancel | mb::IconExclamation) != mb::IdOk)
        return;
    settings_.advancedMode = true;
    ui_.PostShowPage(page::Reset);
}
