#include <windows.h>

#include "link/ProgressWindowEdge.h"

namespace {

class Win32ProgressWindow final : public ProgressWindowEdge {
public:
    // Synchronous on purpose: the page pumps its messages inside the handler, which is what
    // keeps the window alive (and the abort button live) during a long engine call.
    void Send(void* window, uint32_t message, int32_t value) override {
        SendMessageA(static_cast<HWND>(window), message, 0, static_cast<LPARAM>(value));
    }
};

}  // namespace

std::unique_ptr<ProgressWindowEdge> MakeProgressWindowEdge() {
    return std::make_unique<Win32ProgressWindow>();
}
