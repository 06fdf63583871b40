// The Win32 desktop edge under Wine: windows found by their exact titles (the French one in
// the ANSI code page), messages that reach them, processes started in a folder and their exit
// codes, and a sync status of 0 where there is no hsapi.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "hotsync/DesktopEdge.h"
#include "hotsync/HotSyncManager.h"

namespace {

UINT g_lastMessage = 0;
WPARAM g_lastWParam = 0;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == hotsync::kExitMessage) {
        g_lastMessage = message;
        g_lastWParam = wParam;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char* title) {
    static const char* kClass = "KestrelDesktopEdgeTest";
    static bool registered = false;
    if (!registered) {
        WNDCLASSA c{};
        c.lpfnWndProc = Procedure;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = kClass;
        RegisterClassA(&c);
        registered = true;
    }
    return CreateWindowA(kClass, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

TEST(DesktopEdge, WindowsByExactTitle) {
    const auto desktop = MakeDesktopEdge();
    HWND french = MakeWindow(hotsync::kProblemTitles[1]);
    ASSERT_NE(french, nullptr) << "CreateWindow: error " << GetLastError();
    EXPECT_EQ(desktop->FindTopWindow(hotsync::kProblemTitles[1]), french);
    EXPECT_EQ(desktop->FindTopWindow("Probleme de synchronisation"), nullptr);
    EXPECT_EQ(desktop->FindTopWindow("HotSync Problem "), nullptr) << "exact, not a prefix";
    EXPECT_TRUE(desktop->WindowExists(french));

    HWND main = MakeWindow(hotsync::kMainTitle);
    desktop->Send(desktop->FindTopWindow(hotsync::kMainTitle), hotsync::kExitMessage, 1, 0);
    EXPECT_EQ(g_lastMessage, hotsync::kExitMessage);
    EXPECT_EQ(g_lastWParam, 1u);
    DestroyWindow(main);
    DestroyWindow(french);
    desktop->ProcessMessages();
    EXPECT_FALSE(desktop->WindowExists(french));
    EXPECT_EQ(desktop->FindTopWindow(hotsync::kMainTitle), nullptr);
}

TEST(DesktopEdge, ProcessesAndTheirExitCodes) {
    const auto desktop = MakeDesktopEdge();
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    DesktopEdge::Process process;
    ASSERT_TRUE(
        desktop->StartProcess(std::string(system) + "\\cmd.exe /c exit 7", system, process));
    uint32_t code = 259;
    for (int i = 0; i < 500 && desktop->ExitCode(process, code) && code == 259; ++i)
        desktop->Sleep(10);
    EXPECT_EQ(code, 7u);
    desktop->CloseProcess(process);
    EXPECT_EQ(process.process, nullptr);
    EXPECT_FALSE(desktop->StartProcess("", "", process)) << "an empty path starts nothing";
    EXPECT_FALSE(desktop->StartProcess("C:\\nowhere\\HotSync.exe", "C:\\nowhere", process));
}

TEST(DesktopEdge, FilesAndTheSyncStatusWithoutHsapi) {
    const auto desktop = MakeDesktopEdge();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_TRUE(desktop->FileExists(self));
    EXPECT_FALSE(desktop->FileExists(std::string(self) + ".none"));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_FALSE(desktop->FileExists(system)) << "a folder is no file";
    EXPECT_EQ(desktop->SyncStatus("C:\\nowhere\\HotSync.exe"), 0u);
}

}  // namespace
