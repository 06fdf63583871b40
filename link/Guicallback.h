// The progress and abort channel between the flash engine and the page that shows it. The
// engine reports progress and reads the abort flag at each progress point; the page sets
// the flag from its abort button.
#pragma once

#include <cstdint>
#include <memory>

#include "link/ProgressWindowEdge.h"

class GuiCallback {
public:
    explicit GuiCallback(std::unique_ptr<ProgressWindowEdge> edge = MakeProgressWindowEdge());
    virtual ~GuiCallback();

    void SetWindow(void* window) { window_ = window; }
    void SetMessage(uint32_t message) { message_ = message; }
    void SetAppValue(int32_t value) { appValue_ = value; }
    int32_t AppValue() const { return appValue_; }
    void RequestAbort() { abort_ = 1; }
    void ClearAbort() { abort_ = 0; }
    bool Aborted() const { return abort_ != 0; }

    // Sends the window the message synchronously (wParam 0, lParam = value) when a window
    // is set. Other front ends (the command line, tests) override it.
    virtual void Progress(int32_t value);

protected:
    void* Window() const { return window_; }
    uint32_t Message() const { return message_; }

private:
    uint8_t abort_ = 0;
    int32_t appValue_ = 0;
    uint32_t message_ = 0;
    void* window_ = nullptr;
    std::unique_ptr<ProgressWindowEdge> edge_;
};
