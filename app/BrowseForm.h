// The browse page: the user names the update file when none beside the program suits the
// handheld, or in advanced mode. Next checks the file and, in normal mode, that it is made for
// the connected handheld; every refusal keeps the page and its text as they were.
#pragma once

#include "app/PageUi.h"

struct win32_cfg_type;
class TPilotManager;

class TBrowseForm final : public PageLogic {
public:
    TBrowseForm(PageUi& ui, win32_cfg_type& settings, TPilotManager& link)
        : ui_(ui), settings_(settings), link_(link) {}

    void Activate() override;
    void Command(int control) override;
    void CloseBox() override;

private:
    void Browse();
    void Next();
    void Cancel();

    PageUi& ui_;
    win32_cfg_type& settings_;
    TPilotManager& link_;
};
