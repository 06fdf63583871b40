// The backup run's two windows: modeless dialogs of this module's resources (Stashmate.rc),
// owned by the desktop window. The run has HotSync Manager's thread to itself, so every call
// lets through the messages waiting for these windows, and for these windows alone: HotSync
// Manager's own messages (its WM_QUIT among them) stay in its queue for its own loop.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>

#include "conduit/BackupWindows.h"
#include "conduit/OwnModule.h"
#include "conduit/StashmateResources.h"

namespace {

// How far along a bar is: `done` of `total`, kept within the bar whatever the run reports.
struct Progress {
    int done = 0;
    int total = 0;

    int Filled(int width) const {
        if (total <= 0 || width <= 0) return 0;
        const int64_t clamped = std::clamp(done, 0, total);
        return static_cast<int>(clamped * width / total);
    }
};

// The inside of a bar's sunken border, in its own coordinates.
RECT BarInside(HWND bar) {
    RECT r{};
    GetClientRect(bar, &r);
    InflateRect(&r, -2, -2);
    return r;
}

void DrawBar(const DRAWITEMSTRUCT& item, const Progress& progress) {
    RECT r = item.rcItem;
    DrawEdge(item.hDC, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    RECT filled = r;
    filled.right = r.left + progress.Filled(r.right - r.left);
    RECT rest = r;
    rest.left = filled.right;
    FillRect(item.hDC, &filled, GetSysColorBrush(COLOR_HIGHLIGHT));
    FillRect(item.hDC, &rest, GetSysColorBrush(COLOR_WINDOW));
}

class Win32BackupWindows final : public BackupWindows {
public:
    ~Win32BackupWindows() override { Close(); }

    void Open() override {
        if (infoWindow_ || progressWindow_) return;
        cancelled_ = false;
        pass_ = {};
        item_ = {};
        itemLabel_.clear();
        itemName_.clear();
        shownLabel_.clear();
        shownName_.clear();
        shownLeft_.clear();
        shownPassFill_ = shownItemFill_ = -1;
        itemShown_ = itemWanted_ = false;
        refreshed_ = false;
        const HINSTANCE module = OwnModule();
        infoWindow_ = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_STASHMATE_INFO),
                                         GetDesktopWindow(), InfoProcedure, 0);
        progressWindow_ =
            CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_STASHMATE_PROGRESS), GetDesktopWindow(),
                               ProgressProcedure, reinterpret_cast<LPARAM>(this));
        if (infoWindow_) {
            SetWindowPos(infoWindow_, nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            // Never activated: keys the user is typing elsewhere must not land on Cancel.
            ShowWindow(infoWindow_, SW_SHOWNOACTIVATE);
        }
        if (progressWindow_) {
            MakeTitleBold();
            ShowWindow(progressWindow_, SW_SHOWNOACTIVATE);
        }
        Pump();
    }

    void Close() override {
        if (infoWindow_) DestroyWindow(infoWindow_);
        if (progressWindow_) DestroyWindow(progressWindow_);
        infoWindow_ = nullptr;
        progressWindow_ = nullptr;
        if (boldFont_) DeleteObject(boldFont_);
        boldFont_ = nullptr;
    }

    void SetTitle(const std::string& phase) override {
        SetText(IDC_PROGRESS_TITLE, phase);
        Pump();
    }

    void StartPass(int items) override {
        pass_ = {0, std::max(items, 0)};
        itemWanted_ = false;
        Refresh();
    }

    // A step comes with every record read, far more often than anyone can see: what the run
    // reports is kept, and shown at most every kRefreshMs (names, counts, bars, raising the
    // window, painting), which costs a backup of thousands of records next to nothing.
    void StepPass() override {
        pass_.done = std::min(pass_.done + 1, pass_.total);
        // The item is done with: its line goes at the next refresh, unless the next item has
        // started by then.
        itemWanted_ = false;
        if (RefreshDue()) Refresh();
    }

    void StartItem(const std::string& label, const std::string& name, int steps) override {
        item_ = {0, std::max(steps, 0)};
        itemLabel_ = label;
        itemName_ = name;
        itemWanted_ = true;
        if (RefreshDue()) Refresh();
    }

    void StepItem() override {
        item_.done = std::min(item_.done + 1, item_.total);
        if (RefreshDue()) Refresh();
    }

    bool CancelRequested() override {
        if (RefreshDue()) Refresh();
        return cancelled_;
    }

private:
    static INT_PTR CALLBACK InfoProcedure(HWND window, UINT message, WPARAM, LPARAM) {
        if (message != WM_INITDIALOG) return FALSE;
        SendDlgItemMessageA(window, IDC_INFO_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconA(nullptr, MAKEINTRESOURCEA(32516))),
                            0);  // the system's information icon
        return FALSE;
    }

    static INT_PTR CALLBACK ProgressProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
        auto* self =
            reinterpret_cast<Win32BackupWindows*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!self) return FALSE;
        switch (message) {
            case WM_INITDIALOG: return FALSE;  // no focus taken: the window is not activated
            case WM_DRAWITEM: {
                const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
                if (item.CtlID == IDC_PROGRESS_PASS_BAR) DrawBar(item, self->pass_);
                if (item.CtlID == IDC_PROGRESS_ITEM_BAR) DrawBar(item, self->item_);
                return TRUE;
            }
            case WM_COMMAND:
                if (LOWORD(wParam) == IDC_PROGRESS_CANCEL && HIWORD(wParam) == BN_CLICKED) {
                    self->cancelled_ = true;
                    SetDlgItemTextA(window, IDC_PROGRESS_CANCEL, "Cancelling");
                }
                return TRUE;
            default: return FALSE;
        }
    }

    HWND Item(int id) const { return GetDlgItem(progressWindow_, id); }

    void SetText(int id, const std::string& text) {
        if (progressWindow_) SetDlgItemTextA(progressWindow_, id, text.c_str());
    }

    void ShowItemLine(bool shown) {
        if (!progressWindow_ || shown == itemShown_) return;
        itemShown_ = shown;
        for (int id : {IDC_PROGRESS_ITEM_LABEL, IDC_PROGRESS_ITEM_NAME, IDC_PROGRESS_ITEM_BAR})
            ShowWindow(Item(id), shown ? SW_SHOWNA : SW_HIDE);
    }

    // The name follows its label ("Saving", "Using:") after a space's width, whatever the
    // label's length.
    void PlaceItemName(const std::string& label) {
        HWND labelWindow = Item(IDC_PROGRESS_ITEM_LABEL);
        HWND nameWindow = Item(IDC_PROGRESS_ITEM_NAME);
        if (!labelWindow || !nameWindow) return;
        RECT labelPlace{}, namePlace{}, bar{};
        GetWindowRect(labelWindow, &labelPlace);
        GetWindowRect(nameWindow, &namePlace);
        GetWindowRect(Item(IDC_PROGRESS_ITEM_BAR), &bar);
        MapWindowPoints(nullptr, progressWindow_, reinterpret_cast<POINT*>(&labelPlace), 2);
        MapWindowPoints(nullptr, progressWindow_, reinterpret_cast<POINT*>(&namePlace), 2);
        MapWindowPoints(nullptr, progressWindow_, reinterpret_cast<POINT*>(&bar), 2);
        HDC dc = GetDC(labelWindow);
        HGDIOBJ old = SelectObject(
            dc, reinterpret_cast<HGDIOBJ>(SendMessageA(labelWindow, WM_GETFONT, 0, 0)));
        const std::string spaced = label + " ";
        SIZE size{};
        GetTextExtentPoint32A(dc, spaced.c_str(), static_cast<int>(spaced.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(labelWindow, dc);
        const LONG nameLeft = std::min(labelPlace.left + size.cx, bar.right);
        SetWindowPos(labelWindow, nullptr, 0, 0, size.cx, labelPlace.bottom - labelPlace.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(nameWindow, nullptr, nameLeft, namePlace.top, bar.right - nameLeft,
                     namePlace.bottom - namePlace.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void MakeTitleBold() {
        LOGFONTA font{};
        const auto dialogFont =
            reinterpret_cast<HFONT>(SendMessageA(progressWindow_, WM_GETFONT, 0, 0));
        if (!dialogFont || !GetObjectA(dialogFont, sizeof font, &font)) return;
        font.lfWeight = FW_BOLD;
        boldFont_ = CreateFontIndirectA(&font);
        if (boldFont_)
            SendDlgItemMessageA(progressWindow_, IDC_PROGRESS_TITLE, WM_SETFONT,
                                reinterpret_cast<WPARAM>(boldFont_), FALSE);
    }

    int FilledOf(int bar, const Progress& progress) const {
        if (!progressWindow_) return 0;
        const RECT inside = BarInside(Item(bar));
        return progress.Filled(inside.right - inside.left);
    }

    void InvalidateBar(int bar) {
        if (progressWindow_) InvalidateRect(Item(bar), nullptr, FALSE);
    }

    // A step comes with every record read, far more often than anyone can see: the windows
    // are raised and painted at most every kRefreshMs, which costs a backup of thousands of
    // records next to nothing and shows the same.
    bool RefreshDue() {
        const DWORD now = GetTickCount();
        if (refreshed_ && now - lastRefresh_ < kRefreshMs) return false;
        refreshed_ = true;
        lastRefresh_ = now;
        return true;
    }

    // What the run reported, onto the windows: only what changed is touched.
    void Refresh() {
        if (!progressWindow_) return;
        const std::string left = std::to_string(pass_.total - pass_.done);
        if (left != shownLeft_) SetText(IDC_PROGRESS_LEFT_COUNT, shownLeft_ = left);
        if (itemName_ != shownName_) SetText(IDC_PROGRESS_ITEM_NAME, shownName_ = itemName_);
        if (itemLabel_ != shownLabel_) {
            SetText(IDC_PROGRESS_ITEM_LABEL, shownLabel_ = itemLabel_);
            PlaceItemName(itemLabel_);
        }
        // A bar repaints only when it visibly grows.
        for (auto [bar, progress, shown] :
             {std::tuple{IDC_PROGRESS_PASS_BAR, &pass_, &shownPassFill_},
              std::tuple{IDC_PROGRESS_ITEM_BAR, &item_, &shownItemFill_}}) {
            const int fill = FilledOf(bar, *progress);
            if (fill != *shown) InvalidateBar(bar);
            *shown = fill;
        }
        ShowItemLine(itemWanted_);
        ToFront();
        Pump();
    }

    // Above the other windows, without taking the keyboard from whoever has it. Only a
    // shown window of the ordinary band above it calls for the move: no window rises above
    // the always-on-top ones, and a step comes with every record read.
    void ToFront() {
        if (!progressWindow_) return;
        for (HWND above = GetWindow(progressWindow_, GW_HWNDPREV); above;
             above = GetWindow(above, GW_HWNDPREV)) {
            if (!IsWindowVisible(above) || (GetWindowLongA(above, GWL_EXSTYLE) & WS_EX_TOPMOST))
                continue;
            SetWindowPos(progressWindow_, HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return;
        }
    }

    // Painting, and Cancel, while the run holds the thread. Filtering by window also takes
    // the messages of each window's controls. Painting is asked for outright as well: a
    // filtered PeekMessage need not hand out a top-level window's own WM_PAINT (Wine's
    // does not).
    void Pump() {
        for (HWND window : {infoWindow_, progressWindow_}) {
            if (!window) continue;
            MSG msg;
            while (IsWindow(window) && PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
                if (IsDialogMessageA(window, &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (IsWindow(window)) UpdateWindow(window);
        }
    }

    HWND infoWindow_ = nullptr;
    HWND progressWindow_ = nullptr;
    HFONT boldFont_ = nullptr;
    Progress pass_;
    Progress item_;
    // What the run reported, and what the windows show of it.
    std::string itemLabel_, itemName_;
    std::string shownLabel_, shownName_, shownLeft_;
    int shownPassFill_ = -1, shownItemFill_ = -1;
    bool itemShown_ = false;   // the item line as shown
    bool itemWanted_ = false;  // and as the run has it
    static constexpr DWORD kRefreshMs = 40;
    DWORD lastRefresh_ = 0;
    bool refreshed_ = false;
    bool cancelled_ = false;
};

}  // namespace

std::unique_ptr<BackupWindows> MakeBackupWindows() {
    return std::make_unique<Win32BackupWindows>();
}
