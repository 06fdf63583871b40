// Kestrelup.exe: the update wizard. The process-wide objects are made first, the language
// is chosen from the command line, then the main window runs until it is closed; the
// process-wide objects end with the program, which gives HotSync Manager back its
// configuration whatever page the user left on.
#include <windows.h>

#include <exception>
#include <string>

#include "app/BackgroundForm.h"
#include "app/Wizard.h"
#include "base/MessagePump.h"
#include "support/Language.h"

namespace {

// The application's title, as the task bar and the exception box show it: the program's
// name until the main window gives it its caption.
std::string g_title = "Kestrelup";

void RunWizard() {
    static TLanguageSelector languages;
    languages.SelectLanguage();
    const auto form = MakeBackgroundForm(Settings());
    if (!form->Handle()) return;
    char caption[256] = {};
    GetWindowTextA(static_cast<HWND>(form->Handle()), caption, sizeof caption);
    g_title = caption;
    // The page in sight takes its dialog keys: Tab, Enter, Esc.
    RunMessageLoop([&form] { return form->CurrentPageWindow(); });
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        MakeProcessObjects();
        RunWizard();
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), g_title.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    }
    return 0;
}
