// The demo's interactive desk (scripts/demo.sh with a display): the wizard on the simulated
// world, played by a person. HotSync Manager's stand-in shows its own HotSync button; the
// handheld's reset buttons are a small window of their own. Not a test: it runs only when
// asked for by name, and ends when the wizard does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/e2e/wizard/WizardWorld.h"

namespace e2e {
namespace {

constexpr int kReset = 1, kDebugger = 2;
Desk* g_desk = nullptr;

LRESULT CALLBACK ButtonsProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && g_desk) {
        if (LOWORD(wParam) == kReset) g_desk->Press("reset");
        if (LOWORD(wParam) == kDebugger) g_desk->Press("debugger");
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The handheld's two ways of being reset, as buttons a person can press.
HWND MakeHandheldButtons() {
    WNDCLASSA kind{};
    kind.lpfnWndProc = ButtonsProcedure;
    kind.hInstance = GetModuleHandleA(nullptr);
    kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    kind.hCursor = LoadCursor(nullptr, IDC_ARROW);
    kind.lpszClassName = "KestrelSimulatedHandheld";
    RegisterClassA(&kind);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, kind.lpszClassName, "Simulated handheld",
                                  WS_CAPTION | WS_VISIBLE, 10, 600, 260, 110, nullptr, nullptr,
                                  kind.hInstance, nullptr);
    CreateWindowA("BUTTON", "Reset", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 230, 26, window,
                  reinterpret_cast<HMENU>(kReset), kind.hInstance, nullptr);
    CreateWindowA("BUTTON", "Reset into the ROM debugger", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                  10, 42, 230, 26, window, reinterpret_cast<HMENU>(kDebugger), kind.hInstance,
                  nullptr);
    return window;
}

TEST(Demo, DISABLED_Interactive) {
    Desk desk("handheld", 6);
    desk.PutUpdate("good");
    desk.StartHandheld("--mode os");
    g_desk = &desk;
    desk.StartWizard();
    desk.driver.WaitWindow(kMain);
    // Made after the wizard's full-screen window, and kept above it.
    HWND buttons = MakeHandheldButtons();
    std::printf(
        "The wizard runs: HotSync Manager's window holds the HotSync button, the window "
        "\"Simulated handheld\" the handheld's reset buttons.\n");
    std::fflush(stdout);
    for (int round = 0; !desk.driver.WaitExit(std::chrono::milliseconds(0)); ++round) {
        if (round % 25 == 0)
            SetWindowPos(buttons, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
    DestroyWindow(buttons);
    g_desk = nullptr;
    desk.StopHandheld();
}

}  // namespace
}  // namespace e2e
