// The finish page: the update is done. In normal mode the user is shown the handheld asking
// to be reset; in advanced mode the plain handheld. Finish ends the program.
#pragma once

#include "app/PageUi.h"

struct win32_cfg_type;
class TPilotManager;

class TFinishForm final : public PageLogic {
public:
    TFinishForm(PageUi& ui, const win32_cfg_type& settings, TPilotManager& link)
        : ui_(ui), settings_(settings), link_(link) {}

    void Activate() override;
    void Command(int control) override;
    void CloseBox() override;

private:
    PageUi& ui_;
    const win32_cfg_type& settings_;
    TPilotManager& link_;
};
