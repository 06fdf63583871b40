// The reset page of advanced mode: it tells the user how to reset the handheld into its ROM's
// serial mode and shows the blinking cursor they should then see on its screen.
#pragma once

#include "app/BlinkingCursor.h"
#include "app/PageControls.h"
#include "app/PageUi.h"

class TResetForm final : public PageLogic {
public:
    enum Timer : int { Blink = BlinkingCursor::kTimer };
    static constexpr unsigned kBlinkMs = BlinkingCursor::kMs;

    explicit TResetForm(PageUi& ui) : ui_(ui), cursor_(ui, IDC_RESET_PAINTBOX) {}

    void Activate() override;
    void Command(int control) override;
    void Timer(int timer) override;
    void Hidden() override;
    void CloseBox() override;

private:
    PageUi& ui_;
    BlinkingCursor cursor_;  // its own, its count kept across visits
};
