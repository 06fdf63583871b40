// What the progress channel needs of the platform: telling a window how far the engine has
// come, and returning only once the window has handled it.
#pragma once

#include <cstdint>
#include <memory>

class ProgressWindowEdge {
public:
    virtual ~ProgressWindowEdge() = default;
    // Sends `message` (wParam 0, lParam `value`) to `window` and returns when it was handled.
    virtual void Send(void* window, uint32_t message, int32_t value) = 0;
};

std::unique_ptr<ProgressWindowEdge> MakeProgressWindowEdge();
