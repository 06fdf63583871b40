#include "link/Guicallback.h"

#include <utility>

GuiCallback::GuiCallback(std::unique_ptr<ProgressWindowEdge> edge) : edge_(std::move(edge)) {}

GuiCallback::~GuiCallback() = default;

void GuiCallback::Progress(int32_t value) {
    if (Window() && edge_) edge_->Send(Window(), Message(), value);
}

void GuiCallback::Idle() {
    if (!IdleWanted()) return;
    // Reset however the hook ends: the GUI layer's errors pass through here on their way to
    // its handler.
    struct Idling {
        bool& flag;
        explicit Idling(bool& f) : flag(f) { flag = true; }
        ~Idling() { flag = false; }
    } idling(idling_);
    // A copy: the hook may unbind itself.
    const std::function<void()> hook = idleHook_;
    hook();
}
