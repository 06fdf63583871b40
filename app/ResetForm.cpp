#include "app/ResetForm.h"

#include "app/PageControls.h"
#include "app/WizardFlow.h"

void TResetForm::Activate() {
    ui_.SetVisible(IDC_RESET_PAINTBOX, true);
    ui_.StartTimer(Blink, kBlinkMs);
}

void TResetForm::Timer(int timer) {
    if (timer != Blink) return;
    ++blinks_;
    ui_.DrawCursor(IDC_RESET_PAINTBOX, blinks_ % 2 == 1);
}

void TResetForm::Hidden() { ui_.StopTimer(Blink); }

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
