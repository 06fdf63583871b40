#include <windows.h>

#include "link/Guicallback_edge.h"

namespace guicallback_edge {

// Synchronous on purpose: the page pumps its messages inside the handler, which is what
// keeps the window alive (and the abort button live) during a long engine call.
void SendProgress(void* window, uint32_t message, int32_t value) {
    SendMessageA(static_cast<HWND>(window), message, 0, static_cast<LPARAM>(value));
}

}  // namespace guicallback_edge
