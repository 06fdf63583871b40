#include <windows.h>

#include "base/MessageBoxEdge.h"

namespace {

class Win32MessageBoxEdge final : public MessageBoxEdge {
public:
    int Show(const char* text, const char* caption, unsigned style) override {
        return MessageBoxA(GetActiveWindow(), text, caption, style | MB_TASKMODAL);
    }
};

}  // namespace

std::unique_ptr<MessageBoxEdge> MakeMessageBoxEdge() {
    return std::make_unique<Win32MessageBoxEdge>();
}
