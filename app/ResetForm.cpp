#include "app/ResetForm.h"

#include "app/PageControls.h"
#include "app/WizardFlow.h"

void TResetForm::Activate() { cursor_.Start(); }

void TResetForm::Timer(int timer) { cursor_.Tick(timer); }

void TResetForm::Hidden() { cursor_.Stop(); }

void TResetForm::Command(int control) {
    switch (control) {
        case IDC_PAGE_NEXT:
            ui_.SetVisible(IDC_RESET_PAINTBOX, false);
            ui_.SendShowPage(page::Connection);
            break;
        case IDC_PAGE_BACK:
            ui_.SetVisible(IDC_RESET_PAINTBOX, false);
            ui_.SendPrevPage();
            break;
        case IDC_PAGE_CANCEL: ui_.PostClose(); break;
        default: break;
    }
}

void TResetForm::CloseBox() { ui_.PostClose(); }
