// The progress and abort channel between the flash engine and the page that shows it. The
// engine reports progress and reads the abort flag at each progress point; the page sets
// the flag from its abort button. Between progress points the engine waits on the line, and
// a front end that must stay alive meanwhile binds an idle hook, which the engine calls at
// least every TCommPort::kIdleEveryMs while it waits or writes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "link/CommPort.h"
#include "link/ProgressWindowEdge.h"

class GuiCallback : public LineIdle {
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

    // The hook the engine calls while it waits (a window's message pump); empty for none,
    // which lets the engine wait and write in one piece. A wait of the engine that the hook
    // itself sets off does not call it again.
    void SetIdleHook(std::function<void()> hook) { idleHook_ = std::move(hook); }
    bool IdleWanted() const override { return idleHook_ && !idling_; }
    void Idle() override;

protected:
    void* Window() const { return window_; }
    uint32_t Message() const { return message_; }

private:
    uint8_t abort_ = 0;
    int32_t appValue_ = 0;
    uint32_t message_ = 0;
    void* window_ = nullptr;
    std::unique_ptr<ProgressWindowEdge> edge_;
    std::function<void()> idleHook_;
    bool idling_ = false;
};

// Binds an idle hook for the life of the object: for the length of one engine call.
class ScopedIdleHook {
public:
    ScopedIdleHook(GuiCallback& callback, std::function<void()> hook) : callback_(callback) {
        callback_.SetIdleHook(std::move(hook));
    }
    ~ScopedIdleHook() { callback_.SetIdleHook(nullptr); }
    ScopedIdleHook(const ScopedIdleHook&) = delete;
    ScopedIdleHook& operator=(const ScopedIdleHook&) = delete;

private:
    GuiCallback& callback_;
};
