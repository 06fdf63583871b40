// The HotSync page, the heart of normal mode: HotSync Manager is set up so that the next
// HotSync backs everything up and installs the serial loader; the page watches that HotSync
// start and end, asks the user to reset the handheld, and connects to the loader that runs
// after the reset. With the link up and the battery good, Next leads to the update file.
#pragma once

#include <functional>

#include "app/PageUi.h"
#include "base/ResultCodes.h"

struct win32_cfg_type;
class GuiCallback;
class THotSyncManager;
class TPilotManager;

struct LoaderAttemptResult;

class TWizardForm final : public PageLogic {
public:
    // 0 waiting for the HotSync button, 1 HotSync running, 2 waiting for the reset and the
    // loader, 3 ready.
    enum Timer : int { StartDetection = 1, FinishDetection = 2, Connect = 3 };
    static constexpr unsigned kDetectionMs = 100;
    static constexpr unsigned kConnectMs = 250;

    // `chooseFile` runs the update file choice once the loader is connected. An attempt to
    // reach the loader waits up to two seconds on the line; meanwhile the page's messages go
    // through `callback`'s idle hook, and Back, Cancel and closing are done once it has ended.
    TWizardForm(PageUi& ui, const win32_cfg_type& settings, THotSyncManager& hotSync,
                TPilotManager& link, GuiCallback& callback, std::function<void()> chooseFile);

    void Activate() override;
    void Command(int control) override;
    void Timer(int timer) override;
    void CloseBox() override;
    bool CloseQuery() override;

    int Step() const { return step_; }

private:
    // What the user asked for while an attempt ran.
    enum class Leave { None, Back, Close };

    void ShowStep(int step);
    void TryToConnect();
    // One attempt at the loader (the port opened once a visit), with the page's messages
    // pumped.
    LoaderAttemptResult Attempt();
    void Next();
    void Back();

    PageUi& ui_;
    const win32_cfg_type& settings_;
    THotSyncManager& hotSync_;
    TPilotManager& link_;
    GuiCallback& callback_;
    std::function<void()> chooseFile_;
    int step_ = 0;
    bool portOpened_ = false;  // by the connect timer, since the page last closed the link
    bool attempting_ = false;
    Leave leave_ = Leave::None;
};

// The fixed texts of the page.
inline constexpr const char* kNoPalmDesktopText =
    "Palm desktop program not found.\n\nYou are running Setup on a PC that does not\n contain "
    "the Palm desktop software from 3com.\nThis software is on the CD ROM that is packaged "
    "with\nthe PalmOS device.\n\nSetupd cannot run without the Palm desktop program.\n";
inline constexpr const char* kNoPalmDesktopCaption = "Error reading Palm Desktop Info";
inline constexpr const char* kHotSyncDetectedText =
    "Setup has detected that HotSync Manager is still running.\n\n1. Click on the HotSync "
    "icon in the task bar.\n2. Select Exit from the drop down menu.";
inline constexpr const char* kHotSyncDetectedCaption = "HotSync Detected";
