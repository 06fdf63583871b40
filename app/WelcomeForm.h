// The welcome page: the user chooses normal mode (a HotSync backup and restore around the
// update, which needs Palm Desktop) or advanced mode (no backup; the user is warned).
#pragma once

#include "app/PageUi.h"

struct win32_cfg_type;
class THotSyncManager;

class TWelcomeForm final : public PageLogic {
public:
    TWelcomeForm(PageUi& ui, win32_cfg_type& settings, THotSyncManager& hotSync)
        : ui_(ui), settings_(settings), hotSync_(hotSync) {}

    // Focuses normal mode and asks HotSync Manager to exit if it runs.
    void Activate() override;
    void Command(int control) override;
    void CloseBox() override;

private:
    void NormalMode();
    void AdvancedMode();

    PageUi& ui_;
    win32_cfg_type& settings_;
    THotSyncManager& hotSync_;
};
