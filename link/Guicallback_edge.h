// What the progress channel needs of the platform: one synchronous window message.
#pragma once

#include <cstdint>

namespace guicallback_edge {

// Sends `message` (wParam 0, lParam `value`) to `window` and returns when it was handled.
void SendProgress(void* window, uint32_t message, int32_t value);

}  // namespace guicallback_edge
