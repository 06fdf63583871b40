// The backup run's windows under Wine, as the user sees them while a run reports to them.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "conduit/BackupWindows.h"
#include "conduit/StashmateResources.h"
#include "conduit/tests/UserView.h"

namespace {

HWND Own(const char* caption) {
    return static_cast<HWND>(view::ThreadWindow(GetCurrentThreadId(), caption));
}
HWND Progress() { return Own("Stashmate Progress..."); }
std::string Text(int id) { return view::Text(GetDlgItem(Progress(), id)); }
bool Shown(int id) { return IsWindowVisible(GetDlgItem(Progress(), id)); }

// The bar as it paints itself: filled `done` of `total` inside its 2-pixel border.
void ExpectBar(int id, int done, int total) {
    HWND bar = GetDlgItem(Progress(), id);
    RECT r{};
    GetClientRect(bar, &r);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    int filled = 0;
    for (int x = 0; x < r.right; ++x)
        filled += GetPixel(memory, x, r.bottom / 2) == GetSysColor(COLOR_HIGHLIGHT);
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    EXPECT_NEAR(filled, (r.right - 4) * done / total, 1) << done << " of " << total;
}

class BackupWindowsTest : public ::testing::Test {
protected:
    void TearDown() override { windows_->Close(); }
    // The windows show what the run reported a few times a second: a moment later, the next
    // look the run takes at them brings them up to date.
    void Settle() {
        Sleep(100);
        windows_->CancelRequested();
    }
    std::unique_ptr<BackupWindows> windows_ = MakeBackupWindows();
};

TEST_F(BackupWindowsTest, ShowTheRunAsItReportsUntilClosed) {
    windows_->Open();
    HWND information = Own("Stashmate");
    HWND progress = Progress();
    ASSERT_TRUE(information && progress);
    RECT place{};
    GetWindowRect(information, &place);
    EXPECT_TRUE(place.left == 0 && place.top == 0);

    windows_->SetTitle("Backing up handheld files...");
    windows_->StartPass(3);
    EXPECT_EQ(Text(IDC_PROGRESS_TITLE), "Backing up handheld files...");
    EXPECT_EQ(Text(IDC_PROGRESS_LEFT_LABEL), "Number of files left to process:");
    EXPECT_EQ(Text(IDC_PROGRESS_LEFT_COUNT), "3");
    EXPECT_FALSE(Shown(IDC_PROGRESS_ITEM_BAR)) << "no item line before an item starts";
    windows_->StepPass();
    windows_->StartItem("Saving", "Memo & Notes", 4);
    windows_->StepItem();
    windows_->StepItem();
    Settle();
    EXPECT_EQ(Text(IDC_PROGRESS_LEFT_COUNT), "2");
    ExpectBar(IDC_PROGRESS_PASS_BAR, 1, 3);
    EXPECT_TRUE(Shown(IDC_PROGRESS_ITEM_NAME));
    EXPECT_EQ(Text(IDC_PROGRESS_ITEM_LABEL) + " " + Text(IDC_PROGRESS_ITEM_NAME),
              "Saving Memo & Notes");
    ExpectBar(IDC_PROGRESS_ITEM_BAR, 2, 4);
    EXPECT_TRUE(view::SaveShot(progress, "progress.png"));
    EXPECT_TRUE(view::SaveShot(information, "information.png"));
    windows_->StepPass();
    Settle();
    EXPECT_FALSE(Shown(IDC_PROGRESS_ITEM_BAR)) << "the item is done with";

    windows_->Close();
    EXPECT_FALSE(IsWindow(information) || IsWindow(progress));
    windows_->StepPass();  // reports to closed windows go nowhere
}

TEST_F(BackupWindowsTest, CountsAndBarsStayWithinTheirPass) {
    windows_->Open();
    const struct {
        int items, steps;
        bool full;
    } cases[] = {{2, 3, true}, {0, 2, false}, {-4, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.items) + " items, " + std::to_string(c.steps) + " steps");
        windows_->StartPass(c.items);
        windows_->StartItem("Saving", "Datebook", c.items);
        for (int i = 0; i < c.steps; ++i) windows_->StepItem();
        ExpectBar(IDC_PROGRESS_ITEM_BAR, c.full, 1);
        for (int i = 0; i < c.steps; ++i) windows_->StepPass();
        Settle();
        EXPECT_EQ(Text(IDC_PROGRESS_LEFT_COUNT), "0");
        ExpectBar(IDC_PROGRESS_PASS_BAR, c.full, 1);
    }
}

TEST_F(BackupWindowsTest, CancelPressedDuringALongRun) {
    windows_->Open();
    // Neither Escape nor a request to close stops the backup or takes its window away.
    PostMessageA(Progress(), WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(Progress(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(windows_->CancelRequested());
    ASSERT_TRUE(Progress());

    const DWORD run = GetCurrentThreadId();
    std::thread user([run] {
        auto progress = static_cast<HWND>(view::ThreadWindow(run, "Stashmate Progress...", 5000));
        PostMessageA(GetDlgItem(progress, IDC_PROGRESS_CANCEL), BM_CLICK, 0, 0);
    });
    // The run holds this thread, record after record.
    windows_->StartItem("Saving", "Address Book", 1000000);
    const DWORD start = GetTickCount();
    while (!windows_->CancelRequested() && GetTickCount() - start < 10000) windows_->StepItem();
    user.join();
    EXPECT_TRUE(windows_->CancelRequested());
    EXPECT_EQ(Text(IDC_PROGRESS_CANCEL), "Cancelling");

    windows_->Close();
    windows_->Open();
    EXPECT_FALSE(windows_->CancelRequested()) << "a new run starts uncancelled";
    EXPECT_EQ(Text(IDC_PROGRESS_CANCEL), "&Cancel");
}

bool Above(HWND upper, HWND lower) {
    for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == lower) return true;
    return false;
}

TEST_F(BackupWindowsTest, PaintAndComeToTheFrontWithoutTakingTheKeyboard) {
    HWND other = CreateWindowExA(0, "Static", "Other program", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    windows_->Open();
    // Whichever window has the keyboard (other tests' programs run beside this one), it is
    // never the backup's.
    auto keyboardStaysAway = [&] {
        for (HWND window : {Progress(), Own("Stashmate")}) {
            EXPECT_NE(GetActiveWindow(), window);
            EXPECT_NE(GetForegroundWindow(), window);
        }
    };
    keyboardStaysAway();
    // The run steps on, record after record; the windows keep up a few times a second, as far
    // as anyone can see, not at every record.
    auto stepsUntil = [&](const std::function<bool()>& done) {
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 2000; Sleep(5)) {
            windows_->StepItem();
            if (done()) return true;
        }
        return false;
    };
    // The other program comes over the progress window; the run's steps raise it again.
    RECT r{};
    GetWindowRect(Progress(), &r);
    SetWindowPos(other, HWND_TOP, r.left - 9, r.top - 9, r.right - r.left + 18,
                 r.bottom - r.top + 18, 0);
    ASSERT_TRUE(Above(other, Progress()));
    EXPECT_TRUE(stepsUntil([&] { return Above(Progress(), other); }));
    keyboardStaysAway();

    // Uncovered parts are painted while the run goes on, not once it has ended.
    for (HWND window : {Progress(), Own("Stashmate")}) {
        InvalidateRect(window, nullptr, TRUE);
        EXPECT_TRUE(stepsUntil([&] { return !GetUpdateRect(window, nullptr, FALSE); }))
            << view::Text(window);
    }
    DestroyWindow(other);
}

}  // namespace
