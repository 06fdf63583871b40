// The final HotSync page: after a normal-mode update the handheld holds none of the user's
// data. The serial loader is no longer staged, HotSync Manager is started again, and the page
// watches for the restoring HotSync to start and to end before it lets the user go on; Skip
// goes on at once.
#pragma once

#include "app/PageUi.h"

class THotSyncManager;
class TPilotManager;

class TFinalHotsyncForm final : public PageLogic {
public:
    enum class State { Waiting, Running, Done };
    enum Timer : int { StartDetection = 1, FinishDetection = 2 };
    static constexpr unsigned kPollMs = 100;

    TFinalHotsyncForm(PageUi& ui, THotSyncManager& hotSync, TPilotManager& link)
        : ui_(ui), hotSync_(hotSync), link_(link) {}

    void Activate() override;
    void Command(int control) override;
    void Timer(int timer) override;
    void CloseBox() override;

    State Current() const { return state_; }

private:
    void Enter(State state);

    PageUi& ui_;
    THotSyncManager& hotSync_;
    TPilotManager& link_;
    State state_ = State::Waiting;
};
