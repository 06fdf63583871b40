#include <windows.h>

#include "base/MessagePump.h"

namespace {

void Deliver(MSG& msg, void* dialog) {
    if (dialog && IsDialogMessageA(static_cast<HWND>(dialog), &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

}  // namespace

void ProcessWaitingMessages(void* dialog) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The program is ending; the main loop must see it too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Deliver(msg, dialog);
    }
}

void RunMessageLoop(const std::function<void*()>& dialog) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) Deliver(msg, dialog());
}
