#include <windows.h>

#include <memory>
#include <vector>

#include "app/BackgroundForm.h"
#include "app/PageDialog.h"
#include "app/Pages.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "base/StringIds.h"
#include "base/Stringmgr.h"
#include "support/XgaugeWindow.h"

namespace {

constexpr const char* kClassName = "TBackgroundForm";
constexpr COLORREF kTeal = RGB(0, 128, 128);

class Win32BackgroundForm final : public TBackgroundForm {
public:
    explicit Win32BackgroundForm(win32_cfg_type& settings) {
        WNDCLASSA c{};
        c.lpfnWndProc = Procedure;
        c.hInstance = GetModuleHandleA(nullptr);
        c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
        c.lpszClassName = kClassName;
        RegisterClassA(&c);

        caption_ = MainCaption(settings, StringManager().TryGetString(sid::HighSpeedMode));
        titleFont_ =
            CreateFontA(-37, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Times New Roman");
        window_ = CreateWindowExA(0, kClassName, caption_.c_str(),
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                  nullptr, nullptr, GetModuleHandleA(nullptr), this);
        if (!window_) return;
        ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);

        // The upload page places the gauge from its dialog resource.
        RegisterGaugeClass();
        for (const page::Id id : page::kAll) {
            auto dialog = std::make_unique<TPageDialog>(id, window_);
            dialog->SetLogic(MakePageLogic(id, *dialog));
            flow_.AddPage(id, *dialog);
            pages_.push_back(std::move(dialog));
        }
        PostMessageA(window_, um::ShowPage, static_cast<WPARAM>(TWizardFlow::FirstPage(settings)),
                     0);
    }

    ~Win32BackgroundForm() override {
        pages_.clear();
        if (window_) DestroyWindow(window_);
        if (titleFont_) DeleteObject(titleFont_);
    }

    void* Handle() const override { return window_; }

    void* CurrentPageWindow() const override {
        for (const auto& dialog : pages_)
            if (dialog.get() == flow_.Current()) return dialog->Handle();
        return nullptr;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* form =
            reinterpret_cast<Win32BackgroundForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!form) return DefWindowProcA(window, message, wParam, lParam);
        return form->Handle(window, message, wParam, lParam);
    }

    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_ERASEBKGND: return 1;  // the paint covers everything; no flicker
            case WM_PAINT: Paint(window); return 0;
            case WM_GETMINMAXINFO: {
                // It must not be shrunk noticeably: it is the screen behind the pages.
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize.x = GetSystemMetrics(SM_CXSCREEN) - 10;
                info->ptMinTrackSize.y = GetSystemMetrics(SM_CYSCREEN) - 10;
                return 0;
            }
            case WM_CLOSE:
                if (flow_.CloseQuery()) DestroyWindow(window);
                return 0;
            case WM_DESTROY:
                window_ = nullptr;
                PostQuitMessage(0);
                return 0;
            default:
                if (message == um::ShowPage) {
                    flow_.ShowPage(static_cast<int>(wParam));
                    return 0;
                }
                if (message == um::PrevPage) {
                    flow_.PrevPage();
                    return 0;
                }
                return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    void Paint(HWND window) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH teal = CreateSolidBrush(kTeal);
        FillRect(dc, &client, teal);
        DeleteObject(teal);
        const HGDIOBJ oldFont = SelectObject(dc, titleFont_);
        SetBkMode(dc, TRANSPARENT);
        const int length = static_cast<int>(strlen(kInstallerTitle));
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutA(dc, 18, 8, kInstallerTitle, length);
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutA(dc, 12, 2, kInstallerTitle, length);
        SelectObject(dc, oldFont);
        EndPaint(window, &ps);
    }

    std::string caption_;
    HWND window_ = nullptr;
    HFONT titleFont_ = nullptr;
    TWizardFlow flow_;
    std::vector<std::unique_ptr<TPageDialog>> pages_;
};

}  // namespace

std::unique_ptr<TBackgroundForm> MakeBackgroundForm(win32_cfg_type& settings) {
    return std::make_unique<Win32BackgroundForm>(settings);
}
