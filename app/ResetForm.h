// The reset page of advanced mode: it tells the user how to reset the handheld into its ROM's
// serial mode and shows the blinking cursor they should then see on its screen.
#pragma once

#include "app/PageUi.h"

class TResetForm final : public PageLogic {
public:
    enum Timer : int { Blink = 1 };
    static constexpr unsigned kBlinkMs = 250;

    explicit TResetForm(PageUi& ui) : ui_(ui) {}

    void Activate() override;
    void Command(int control) override;
    void Timer(int timer) override;
    void Hidden() override;
    void CloseBox() override;

private:
    PageUi& ui_;
    int blinks_ = 0;  // its own, kept across visits
};
