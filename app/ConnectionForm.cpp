#include "app/ConnectionForm.h"

#include <string>

#include "app/PageControls.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "base/MessageBoxEdge.h"
#include "base/ResultCodes.h"
#include "base/StringIds.h"
#include "hotsync/HotSyncManager.h"
#include "link/Pilotmanager.h"

namespace {

constexpr int kPorts = 8;
constexpr int kFirstExtraPort = 5;

// What each state shows.
struct StateRow {
    TConnectionForm::State state;
    int testCaption;
    bool testEnabled, nextEnabled, backAndCancelEnabled, passShown;
    int focus;  // 0: left where it is
};
constexpr StateRow kStates[] = {
    {TConnectionForm::State::Ready, sid::TestButton, true, false, true, false, IDC_CONN_TEST},
    {TConnectionForm::State::Testing, sid::Testing, false, false, false, false, 0},
    {TConnectionForm::State::Passed, sid::TestButton, true, true, true, true, IDC_PAGE_NEXT},
};

// The boxes for result codes; any other code gets the unknown-error box.
struct ErrorRow {
    int code, textId, captionId;
};
constexpr ErrorRow kErrors[] = {
    {rc::PortInUse, sid::PortInUse, sid::PortInUseCaption},
    {rc::DebuggerTimeout, sid::NoCommunication, sid::ComErrorCaption},
};

}  // namespace

std::string FillCode(std::string pattern, int code, const char* text) {
    if (const auto at = pattern.find("%d"); at != std::string::npos)
        pattern.replace(at, 2, std::to_string(code));
    if (const auto at = pattern.find("%s"); at != std::string::npos)
        pattern.replace(at, 2, text ? text : "");
    return pattern;
}

TConnectionForm::TConnectionForm(PageUi& ui, const win32_cfg_type& settings, TPilotManager& link,
                                 THotSyncManager& hotSync, std::function<int(int)> probePort)
    : ui_(ui),
      settings_(settings),
      link_(link),
      hotSync_(hotSync),
      probePort_(std::move(probePort)),
      cursor_(ui, IDC_CONN_PAINTBOX) {}

void TConnectionForm::Create() {
    bool extraUsable = false;
    for (int n = kFirstExtraPort; n <= kPorts; ++n) extraUsable |= probePort_(n) == 0;
    if (extraUsable) {
        for (int n = 1; n < kFirstExtraPort; ++n)
            ui_.MoveBy(IDC_CONN_COM1 + n - 1, kExtraPortsShift);
        for (int n = kFirstExtraPort; n <= kPorts; ++n) ui_.SetVisible(IDC_CONN_COM1 + n - 1, true);
    }
    const std::string port = hotSync_.GetComPort();
    int preselect = 1;
    for (int n = 2; n <= 4; ++n)
        if (port == "COM" + std::to_string(n)) preselect = n;
    for (int n = 1; n <= kPorts; ++n) ui_.SetChecked(IDC_CONN_COM1 + n - 1, n == preselect);
}

void TConnectionForm::Activate() {
    cursor_.Start();
    // Started for this page alone: only the pages are in sight.
    if (settings_.directMode) ui_.HideMain();
    Enter(State::Ready);
}

void TConnectionForm::Enter(State state) {
    state_ = state;
    for (const StateRow& row : kStates) {
        if (row.state != state) continue;
        ui_.SetText(IDC_CONN_TEST, ui_.String(row.testCaption));
        ui_.SetEnabled(IDC_CONN_TEST, row.testEnabled);
        ui_.SetEnabled(IDC_PAGE_NEXT, row.nextEnabled);
        // Started with "-M" the page is the first one: there is nothing to go back to.
        ui_.SetEnabled(IDC_PAGE_BACK, row.backAndCancelEnabled && !settings_.directMode);
        ui_.SetEnabled(IDC_PAGE_CANCEL, row.backAndCancelEnabled);
        ui_.SetVisible(IDC_CONN_PASSED, row.passShown);
        if (row.focus) ui_.Focus(row.focus);
    }
    if (state == State::Passed) ui_.Beep();
}

void TConnectionForm::Timer(int timer) { cursor_.Tick(timer); }

void TConnectionForm::Hidden() { cursor_.Stop(); }

void TConnectionForm::Command(int control) {
    switch (control) {
        case IDC_CONN_TEST: Test(); break;
        case IDC_PAGE_NEXT: ui_.SendShowPage(page::Browse); break;
        case IDC_PAGE_BACK:
            (void)link_.Disconnect();
            ui_.SendPrevPage();
            break;
        case IDC_PAGE_CANCEL: ui_.PostClose(); break;
        default: break;
    }
}

void TConnectionForm::CloseBox() { ui_.PostClose(); }

void TConnectionForm::Test() {
    ui_.BusyCursor(true);
    // A new test starts from a closed link, so Next only comes back after another success.
    (void)link_.Disconnect();
    std::string port;
    for (int n = 1; n <= kPorts; ++n)
        if (ui_.IsChecked(IDC_CONN_COM1 + n - 1)) port = "COM" + std::to_string(n);
    TResult result = link_.OpenPort(port.c_str());
    if (result != rc::Success) {
        ShowError(result);
        ui_.BusyCursor(false);
        // A port another program holds may be freed; any other failure ends the program.
        if (result == rc::PortInUse)
            Enter(State::Ready);
        else
            ui_.PostClose();
        return;
    }
    Enter(State::Testing);
    result = link_.ConnectDebugger();
    if (result == rc::Success) {
        Enter(State::Passed);
    } else {
        (void)link_.Disconnect();
        ShowError(result);
        Enter(State::Ready);
    }
    ui_.BusyCursor(false);
}

void TConnectionForm::ShowError(int code) {
    if (code == rc::Success) return;
    for (const ErrorRow& row : kErrors)
        if (row.code == code) {
            ui_.Ask(row.textId, row.captionId, mb::Ok | mb::IconStop);
            return;
        }
    ui_.AskText(
        FillCode(ui_.String(sid::UnknownError), code, ErrorText(static_cast<TResult>(code))),
        sid::UnknownErrorCaption, mb::Ok | mb::IconStop);
}
