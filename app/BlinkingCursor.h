// The cursor that blinks in a page's paint box, as the handheld's screen shows it once it
// waits in its ROM's serial mode (the reset and connection pages): black on odd ticks, its
// count kept across visits of the page.
#pragma once

#include "app/PageUi.h"

class BlinkingCursor {
public:
    static constexpr int kTimer = 1;
    static constexpr unsigned kMs = 250;

    BlinkingCursor(PageUi& ui, int paintBox) : ui_(ui), paintBox_(paintBox) {}

    // The page is shown: the box appears and the cursor starts blinking.
    void Start() {
        ui_.SetVisible(paintBox_, true);
        ui_.StartTimer(kTimer, kMs);
    }
    // A tick of the page's timers; others are not the cursor's.
    void Tick(int timer) {
        if (timer != kTimer) return;
        ++blinks_;
        ui_.DrawCursor(paintBox_, blinks_ % 2 == 1);
    }
    void Stop() { ui_.StopTimer(kTimer); }
    int Blinks() const { return blinks_; }

private:
    PageUi& ui_;
    int paintBox_;
    int blinks_ = 0;
};
