// The upload page: writes the chosen update file into the handheld, sending the serial
// loader first in advanced mode. The engine runs synchronously on this page's thread; its
// progress reports arrive as messages while it works, and their handling keeps the page
// alive and the abort button answering.
#pragma once

#include <cstdint>

#include "app/PageUi.h"
#include "base/ResultCodes.h"

struct win32_cfg_type;
class GuiCallback;
class TPilotManager;
class UpdateProcedure;
struct UpdateOutcome;

class TUploadForm final : public PageLogic {
public:
    enum class State { Ready, Uploading, Complete };

    TUploadForm(PageUi& ui, const win32_cfg_type& settings, TPilotManager& link,
                GuiCallback& callback)
        : ui_(ui), settings_(settings), link_(link), callback_(callback) {}

    void Activate() override;
    void Command(int control) override;
    void CloseBox() override;
    bool CloseQuery() override;
    // The start-upload message and the engine's progress reports.
    void Message(uint32_t message, intptr_t value) override;

    // The start-upload message.
    void StartUpload();
    // A progress report of the engine.
    void Progress(int32_t value);

    State Current() const { return state_; }
    bool Uploading() const { return uploading_; }

private:
    void Upload();
    void Enter(State state);
    // Ends a refused attempt: the ready state, "Upload Failed ".
    void Failed();
    // Reads the loader file and has the procedure send it and wait for the loader.
    UpdateOutcome SendLoader(UpdateProcedure& procedure);
    void ShowError(TResult code);
    void Abort();
    void Cancel();

    PageUi& ui_;
    const win32_cfg_type& settings_;
    TPilotManager& link_;
    GuiCallback& callback_;
    State state_ = State::Ready;
    bool uploading_ = false;
};

// The page's fixed texts.
inline constexpr const char* kRamNotSupportedText =
    "The image you are about to upload includes RAM data.  Uploading RAM is not supported in "
    "normal mode.  If you want this data installed you must restart this program and use "
    "advanced mode.\n\nWould you like to continue with the Flash update only?";
inline constexpr const char* kRamNotSupportedCaption = "RAM update not supported in Normal Mode";
