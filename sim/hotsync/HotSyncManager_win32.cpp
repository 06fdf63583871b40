// HotSync.exe, the HotSync Manager stand-in: a program whose main window is titled
// "HotSync Manager", that reads its registry values (the notifiers, the backup conduit) when
// it starts, exits when sent 0xBEC5 with 1 and 0, and performs a HotSync of the virtual
// handheld when asked: its button for a person, --hotsync at start or the message kHotSyncNow
// for scripts and tests. The backup conduit gets the sync type and connection the world's key
// gives (World.h). While a HotSync runs a window titled "HotSync Progress" is up and the
// world's sync status reads busy. Test and demo equipment, never in the kit.
//
//   HotSync.exe [--hotsync] [--problem en|fr|de[:SECONDS]] [--log-window en|fr|de[:SECONDS]]
//
// --problem and --log-window show HotSync Manager's problem report or log window in that
// language, closed after SECONDS (as a user would close it) or by hand.
#include <windows.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/PalmDesktopKeys.h"
#include "base/RegistryEdge.h"
#include "base/SyncLayouts.h"
#include "sim/hotsync/HotSyncLog.h"
#include "sim/hotsync/HotSyncSession.h"
#include "sim/hotsync/WorldSettings.h"

namespace {

constexpr UINT kExitMessage = 0xBEC5;
// Posted by scripts and tests: perform a HotSync now.
constexpr UINT kHotSyncNow = WM_APP + 0x48;
constexpr int kButtonId = 100;
constexpr UINT_PTR kCloseTimer = 1;
constexpr DWORD kBusy = 0xFFFFFFFF;
constexpr const char* kMainClass = "KestrelHotSyncManager";
constexpr const char* kDialogClass = "KestrelHotSyncDialog";
// A HotSync begins with the handheld and the desktop finding each other; the stand-in spends
// as long on it, with its windows live, so that a program watching for HotSyncs a few times
// a second sees each one.
constexpr DWORD kConnectMs = 600;

// HotSync Manager's other windows, by language.
struct Titles {
    const char* language;
    const char* problem;
    const char* log;
};
constexpr Titles kTitles[] = {
    {"en", "HotSync Problem", "HotSync Log"},
    {"fr", "Probl\xE8me de synchronisation", "Journal de HotSync"},
    {"de", "HotSync-Problem", "HotSync-Protokoll"},
};

using NotifyFunction = LONG(WINAPI*)(LONG code, LONG data);
using OpenConduitFunction = LONG(WINAPI*)(void* progress, void* properties);

// What was read from the registry when the program started.
struct Settings {
    std::vector<std::string> notifiers;
    std::string backupConduit;
};

Settings g_settings;
HWND g_main = nullptr;

Settings ReadSettings(RegistryEdge& registry) {
    Settings settings;
    auto key = palmdesktop::OpenFirstKey(registry, palmdesktop::kHotSyncManager);
    if (!key) return settings;
    for (int n = 0; n < 1000; ++n) {
        std::string path;
        if (key->ReadText("Notifier" + std::to_string(n), path) == RegistryRead::Ok &&
            !path.empty())
            settings.notifiers.push_back(path);
    }
    if (key->ReadText("BackupConduit", settings.backupConduit) != RegistryRead::Ok)
        settings.backupConduit.clear();
    return settings;
}

void SetSyncStatus(RegistryEdge& registry, DWORD status) {
    auto key = registry.OpenCurrentUser(hsworld::kKey);
    if (!key) return;
    RegistryValue value{hsworld::kSyncStatus, regtype::Dword, {}};
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(status >> (8 * i)));
    key->WriteValue(value);
}

// Runs the backup conduit named in the registry, unless it is the default one or cannot be
// run; the libraries it imports (sync20.dll, hslog20.dll, condmgr.dll, pdcmn21.dll) are found
// beside this program, as Windows looks for a library's imports there first.
ConduitRun RunConduit(const std::string& conduit, const std::filesystem::path& backupFolder) {
    ConduitRun run;
    run.conduit = conduit;
    if (hotsync_session::IsDefaultConduit(conduit)) return run;
    const auto registry = MakeRegistryEdge();
    const auto properties = hotsync_session::SyncProperties(
        hsworld::ReadNumber(*registry, hsworld::kSyncType)
            .value_or(syncprops::kSyncTypeHandheldOverwrites),
        backupFolder.string(), hsworld::ReadNumber(*registry, hsworld::kConnection).value_or(0));
    if (!properties) {
        run.outcome = ConduitRun::Outcome::FolderTooLong;
        return run;
    }
    HMODULE library = LoadLibraryA(conduit.c_str());
    if (!library) {
        run.outcome = ConduitRun::Outcome::CannotLoad;
        return run;
    }
    const auto open = reinterpret_cast<OpenConduitFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "OpenConduit")));
    if (!open) {
        FreeLibrary(library);
        run.outcome = ConduitRun::Outcome::NoEntry;
        return run;
    }
    // The conduit may write into the record; it is its own copy.
    std::array<uint8_t, syncprops::kSize> given = *properties;
    run.result = static_cast<int32_t>(open(nullptr, given.data()));
    run.outcome = ConduitRun::Outcome::Ran;
    FreeLibrary(library);
    return run;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PerformHotSync() {
    static bool running = false;
    if (running) return;
    running = true;
    const auto registry = MakeRegistryEdge();
    SetSyncStatus(*registry, kBusy);
    HWND progress =
        CreateWindowA(kDialogClass, "HotSync Progress", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60,
                      300, 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kConnectMs;) {
        PumpMessages();
        Sleep(10);
    }

    const auto handheld = hsworld::ReadSetting(*registry, hsworld::kHandheld);
    const auto user = hsworld::ReadSetting(*registry, hsworld::kUser);
    const auto userFolder = user ? hsworld::UserFolder(*registry, *user) : std::nullopt;
    std::vector<HMODULE> libraries;
    if (handheld && user && userFolder) {
        HotSyncCallouts callouts;
        std::vector<std::string> problems;
        for (const std::string& path : g_settings.notifiers) {
            HMODULE library = LoadLibraryA(path.c_str());
            if (!library) {
                problems.push_back("Error: notifier " + path + " cannot be loaded");
                continue;
            }
            libraries.push_back(library);
            if (auto notify = reinterpret_cast<NotifyFunction>(
                    reinterpret_cast<void*>(GetProcAddress(library, "HS_Notify"))))
                callouts.notifiers.push_back([notify](int32_t code, uint32_t data) {
                    notify(code, static_cast<LONG>(data));
                });
        }
        callouts.backupConduit = [](const std::filesystem::path& folder) {
            return RunConduit(g_settings.backupConduit, folder);
        };
        const std::filesystem::path logFolder = *userFolder;
        callouts.log = [&logFolder](const std::string& line) {
            hotsync_log::Append(logFolder, {line});
        };
        hotsync_log::Append(logFolder, problems);
        HandheldStore store(*handheld);
        PerformHotSync(store, *user, *userFolder, callouts);
    }
    for (HMODULE library : libraries) FreeLibrary(library);

    if (progress) DestroyWindow(progress);
    SetSyncStatus(*registry, 0);
    running = false;
}

LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kExitMessage:
            // Only the exit request as HotSync Manager knows it ends the program.
            if (wParam == 1 && lParam == 0) DestroyWindow(window);
            return 0;
        case kHotSyncNow: PerformHotSync(); return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kButtonId) PerformHotSync();
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kCloseTimer) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// "fr:3": the language's title of the wanted kind and the seconds until it closes (0: never).
void ShowDialog(const std::string& argument, bool problem) {
    const std::string language = argument.substr(0, argument.find(':'));
    const auto colon = argument.find(':');
    const UINT seconds =
        colon == std::string::npos
            ? 0
            : static_cast<UINT>(std::strtoul(argument.c_str() + colon + 1, nullptr, 10));
    for (const Titles& titles : kTitles) {
        if (language != titles.language) continue;
        HWND window = CreateWindowA(kDialogClass, problem ? titles.problem : titles.log,
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120, 120, 300, 160, nullptr,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
        if (window && seconds) SetTimer(window, kCloseTimer, seconds * 1000, nullptr);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // A library that cannot be loaded is logged, never a box that stops the stand-in.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The registry is read once, at start: what changes later takes effect at the next start.
    g_settings = ReadSettings(*MakeRegistryEdge());

    WNDCLASSA main{};
    main.lpfnWndProc = MainProcedure;
    main.hInstance = instance;
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = kMainClass;
    WNDCLASSA dialog = main;
    dialog.lpfnWndProc = DialogProcedure;
    dialog.lpszClassName = kDialogClass;
    if (!RegisterClassA(&main) || !RegisterClassA(&dialog)) return 1;

    g_main = CreateWindowA(kMainClass, "HotSync Manager", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                           260, 120, nullptr, nullptr, instance, nullptr);
    if (!g_main) return 1;
    CreateWindowA("BUTTON", "HotSync", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 70, 20, 100, 30,
                  g_main, reinterpret_cast<HMENU>(kButtonId), instance, nullptr);

    bool hotSyncNow = false;
    for (int i = 1; i < __argc; ++i) {
        const std::string argument = __argv[i];
        if (argument == "--hotsync") hotSyncNow = true;
        if ((argument == "--problem" || argument == "--log-window") && i + 1 < __argc)
            ShowDialog(__argv[++i], argument == "--problem");
    }
    if (hotSyncNow) PostMessageA(g_main, kHotSyncNow, 0, 0);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
