// Kestrelup.exe as a person meets it, under Wine: the main window's caption and full-screen
// size, the first page of each start, the mode questions of the welcome page leading to the
// next page at the place the page was moved to, Back, and Cancel ending the program. No Palm
// Desktop is installed in the test's world.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr DWORD kWaitMs = 15000;
constexpr const char* kMain = "v2.3  (Halvex devices)";

std::string Beside(const char* file) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder.resize(folder.find_last_of('\\') + 1);
    folder += file;
    return folder;
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms = kWaitMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20))
        if (condition()) return true;
    return condition();
}

HWND Visible(const char* caption) {
    HWND window = FindWindowA(nullptr, caption);
    return window && IsWindowVisible(window) ? window : nullptr;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The wizard, started with `arguments`, ended by the test if it is still running.
class Wizard {
public:
    explicit Wizard(const std::string& arguments) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string command = "\"";
        command += Beside("Kestrelup.exe");
        command += "\" ";
        command += arguments;
        started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info_);
        if (started_) CloseHandle(info_.hThread);
    }
    ~Wizard() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hProcess);
    }
    bool Started() const { return started_; }
    bool Ended(DWORD ms = kWaitMs) const {
        return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION info_{};
};

void Press(HWND dialog, int control) { PostMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0); }

// The message box of that caption: its text, answered with `button`.
std::string Answer(const char* caption, int button) {
    HWND box = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (box = FindWindowA("#32770", caption)) != nullptr; }))
        << "no box \"" << caption << "\"";
    if (!box) return {};
    const std::string text = TextOf(GetDlgItem(box, 0xFFFF));
    Press(box, button);
    return text;
}

TEST(Kestrelup, TheMainWindowCoversTheScreenBehindTheFirstPage) {
    Wizard wizard("-h x.upd");
    ASSERT_TRUE(wizard.Started());
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (main = Visible("v2.3  (Halvex devices)  High-Speed Mode")) != nullptr; }));
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN));
    HWND welcome = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (welcome = Visible("Welcome")) != nullptr; }));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(welcome, 9))) << "no help anywhere";
    // The teal screen behind it.
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetPixel(screen, 600, r.bottom - 20), RGB(0, 128, 128));
    ReleaseDC(nullptr, screen);
    Press(welcome, IDCANCEL);
    EXPECT_TRUE(wizard.Ended());
}

TEST(Kestrelup, DirectModeOpensAtTheConnectionPage) {
    Wizard wizard("-m");
    ASSERT_TRUE(WaitFor([] { return Visible("Establishing a Communications Link") != nullptr; }));
    EXPECT_FALSE(Visible("Welcome"));
    PostMessageA(FindWindowA(nullptr, kMain), WM_CLOSE, 0, 0);
    EXPECT_TRUE(wizard.Ended());
}

TEST(Kestrelup, WithoutPalmDesktopNormalModeOffersAdvancedModeAndBackReturns) {
    Wizard wizard("");
    HWND welcome = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (welcome = Visible("Welcome")) != nullptr; }));
    SetWindowPos(welcome, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    Press(welcome, 202);  // "&Normal Mode >"
    EXPECT_EQ(Answer("Enter advanced mode?", IDOK),
              "The Palm Desktop was not found. Without a desktop you may only use advanced "
              "mode.");
    HWND reset = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (reset = Visible("Resetting the Palm")) != nullptr; }));
    RECT r{};
    GetWindowRect(reset, &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 60);
    EXPECT_TRUE(WaitFor([] { return Visible("Welcome") == nullptr; }));

    Press(reset, 100);  // "< &Back"
    ASSERT_TRUE(WaitFor([] { return Visible("Welcome") != nullptr; }));
    Press(welcome, 201);  // "&Advanced Mode": always warned first; declining stays
    EXPECT_NE(Answer("Warning, your palm's data will be lost!", IDCANCEL)
                  .find("Using advanced mode does not backup and restore this data."),
              std::string::npos);
    Sleep(300);
    EXPECT_TRUE(Visible("Welcome"));

    Press(welcome, 202);
    Answer("Enter advanced mode?", IDCANCEL);  // declining ends the program
    EXPECT_TRUE(wizard.Ended());
}

// The last two pages, reached the way pages ask for them: the final HotSync page waits for a
// HotSync with Next disabled, Skip goes on to the finish page, whose Finish ends the program.
TEST(Kestrelup, TheFinalPagesSkipToTheEnd) {
    Wizard wizard("");
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = Visible(kMain)) != nullptr; }));
    ASSERT_TRUE(WaitFor([] { return Visible("Welcome") != nullptr; }));
    PostMessageA(main, 3024, 1217, 0);
    HWND final = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (final = Visible("Restoring Programs and Data")) != nullptr; }));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(final, 301))) << "\"Perform a HotSync!\"";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(final, 303)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(final, 101))) << "Next waits for the HotSync";
    Press(final, 304);  // "Skip"
    HWND finish = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (finish = Visible("Complete")) != nullptr; }));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(finish, 401))) << "normal mode: the long text";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(finish, 402)));
    Press(finish, 404);  // "&Finish"
    EXPECT_TRUE(wizard.Ended());
}

}  // namespace
