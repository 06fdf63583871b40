// The wizard's main window: the teal screen behind the pages, with the installer's title,
// which makes the eight pages at start, shows the first one and switches pages when a page
// asks (the show-page and previous-page messages of app/WizardFlow.h). The program ends
// when it closes, which the current page may refuse.
#pragma once

#include <memory>
#include <string>

struct win32_cfg_type;

// "v2.3  (Halvex devices)", with "  " and `highSpeedText` after it in high-speed mode.
std::string MainCaption(const win32_cfg_type& settings, const char* highSpeedText);

// The installer's title, drawn twice as a shadow.
inline constexpr const char* kInstallerTitle = "Vantaro Installer";

class TBackgroundForm {
public:
    virtual ~TBackgroundForm() = default;
    virtual void* Handle() const = 0;
    // The page window that takes dialog keys (Tab, Enter, Esc) now; nullptr before the first.
    virtual void* CurrentPageWindow() const = 0;
};

// Makes the window, full screen, and the pages, hidden, and posts the first page.
std::unique_ptr<TBackgroundForm> MakeBackgroundForm(win32_cfg_type& settings);
