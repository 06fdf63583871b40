// driver_test_wizard.exe: a small wizard for the driver's own tests. Its main window, titled
// "Driver Test Wizard", is painted teal with a red square at the bottom right of its client area,
// and holds a page (a child dialog) whose buttons change what the page shows and open modal
// message boxes; a hidden page holds a button of the same text, and a top-level "Driver Test
// Options" dialog is no message box. The window stays at the bottom right of the screen, above
// others, where the windows of tests running beside it seldom come. Test equipment only.
#include <windows.h>

#include <string>

#include "tests/e2e/driver/tests/TestWizardIds.h"

namespace {

constexpr const char* kMainClass = "KestrelDriverTestWizard";
constexpr COLORREF kTeal = RGB(0, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr int kMargin = 10;
// The strip right of the page where the red square is.
constexpr int kStrip = RED_SQUARE_WIDTH + 2 * RED_SQUARE_MARGIN;

HWND g_main = nullptr;
HWND g_page = nullptr;
int g_nextCount = 0;

void SetStatus(const std::string& text) { SetDlgItemTextA(g_page, IDC_STATUS, text.c_str()); }

INT_PTR CALLBACK PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(page, IDC_NAME, "Ann");
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDC_NAME && code == EN_CHANGE) {
        char name[256] = {};
        GetDlgItemTextA(page, IDC_NAME, name, sizeof name);
        if (g_page) SetStatus(std::string("Name: ") + name);
        return TRUE;
    }
    if (code != BN_CLICKED) return FALSE;
    switch (id) {
        case IDC_NEXT:
            SetStatus("Next pressed " + std::to_string(++g_nextCount));
            EnableWindow(GetDlgItem(page, IDC_BACK), TRUE);
            return TRUE;
        case IDC_BACK:
            SetStatus("Back pressed");
            EnableWindow(GetDlgItem(page, IDC_BACK), FALSE);
            return TRUE;
        case IDC_REMEMBER:
            SetStatus(IsDlgButtonChecked(page, IDC_REMEMBER) == BST_CHECKED ? "Remember: on"
                                                                            : "Remember: off");
            return TRUE;
        case IDC_ASK: {
            const int answer = MessageBoxA(page, "Continue with \"Ann\"?\nSecond line",
                                           "Probl\xE8me", MB_YESNO | MB_ICONQUESTION);
            SetStatus(answer == IDYES ? "Answer: Yes" : "Answer: No");
            return TRUE;
        }
        case IDC_FAIL:
            MessageBoxA(page, "Something failed.", "Critical Error", MB_OK | MB_ICONSTOP);
            SetStatus("Failure shown");
            return TRUE;
        case IDCANCEL: PostMessageA(g_main, WM_CLOSE, 0, 0); return TRUE;
        default: return FALSE;
    }
}

INT_PTR CALLBACK OptionsProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;  // WM_PAINT fills everything
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT client;
            GetClientRect(window, &client);
            HBRUSH teal = CreateSolidBrush(kTeal);
            HBRUSH red = CreateSolidBrush(kRed);
            FillRect(dc, &client, teal);
            const RECT square = {client.right - RED_SQUARE_MARGIN - RED_SQUARE_WIDTH,
                                 client.bottom - RED_SQUARE_MARGIN - RED_SQUARE_HEIGHT,
                                 client.right - RED_SQUARE_MARGIN,
                                 client.bottom - RED_SQUARE_MARGIN};
            FillRect(dc, &square, red);
            DeleteObject(teal);
            DeleteObject(red);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA main{};
    main.lpfnWndProc = MainProcedure;
    main.hInstance = instance;
    main.hCursor = LoadCursor(nullptr, IDC_ARROW);
    main.lpszClassName = kMainClass;
    if (!RegisterClassA(&main)) return 2;

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    g_main = CreateWindowExA(WS_EX_TOPMOST, kMainClass, "Driver Test Wizard", style, 0, 0, 100, 100,
                             nullptr, nullptr, instance, nullptr);
    if (!g_main) return 3;
    HWND page = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PAGE), g_main, PageProcedure, 0);
    HWND hidden =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_HIDDEN_PAGE), g_main, PageProcedure, 0);
    if (!page || !hidden) return 4;
    g_page = page;
    SetWindowPos(page, nullptr, kMargin, kMargin, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(hidden, nullptr, kMargin, kMargin, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    // The main window fits the page, at the bottom right of the screen.
    RECT pageRect;
    GetWindowRect(page, &pageRect);
    RECT frame = {0, 0, kMargin + (pageRect.right - pageRect.left) + kStrip,
                  2 * kMargin + (pageRect.bottom - pageRect.top)};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_TOPMOST);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(g_main, HWND_TOPMOST, GetSystemMetrics(SM_CXSCREEN) - width - 4,
                 GetSystemMetrics(SM_CYSCREEN) - height - 4, width, height, SWP_SHOWWINDOW);

    HWND options =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsProcedure, 0);
    if (options) SetWindowPos(options, nullptr, 4, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(page, &msg) || (options && IsDialogMessageA(options, &msg))) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
