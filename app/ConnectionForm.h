// The connection page of advanced mode: the user picks the serial port and tests that the
// handheld, reset into its ROM's serial mode, answers on it. A passed test leaves the port
// open with the ROM debugger connected, for the upload page to send the loader.
#pragma once

#include <functional>

#include "app/BlinkingCursor.h"
#include "app/PageUi.h"

struct win32_cfg_type;
class THotSyncManager;
class TPilotManager;

class TConnectionForm final : public PageLogic {
public:
    enum class State { Ready, Testing, Passed };
    enum Timer : int { Blink = BlinkingCursor::kTimer };
    static constexpr unsigned kBlinkMs = BlinkingCursor::kMs;
    // How far COM 1 to COM 4 move left to make room for COM 5 to COM 8.
    static constexpr int kExtraPortsShift = -25;

    TConnectionForm(PageUi& ui, const win32_cfg_type& settings, TPilotManager& link,
                    THotSyncManager& hotSync, std::function<int(int)> probePort);

    // Once, when the wizard starts: the extra ports shown when one of them can be used, and
    // the port HotSync uses chosen.
    void Create() override;

    void Activate() override;
    void Command(int control) override;
    void Timer(int timer) override;
    void Hidden() override;
    void CloseBox() override;

    State Current() const { return state_; }
    int Blinks() const { return cursor_.Blinks(); }

private:
    void Test();
    void Enter(State state);
    // The box for a result code; none for 0.
    void ShowError(int code);

    PageUi& ui_;
    const win32_cfg_type& settings_;
    TPilotManager& link_;
    THotSyncManager& hotSync_;
    std::function<int(int)> probePort_;
    State state_ = State::Ready;
    BlinkingCursor cursor_;
};

// `pattern` with its first "%d" made `code` and its first "%s" made `text`.
std::string FillCode(std::string pattern, int code, const char* text);
