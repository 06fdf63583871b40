// No windows here: a box is a line on standard error, answered with its default button.
#include <cstdio>

#include "base/MessageBoxEdge.h"

namespace {

int DefaultButton(unsigned style) {
    switch (style & 0xF) {
        case mb::AbortRetryIgnore: return mb::IdAbort;
        case mb::YesNoCancel:
        case mb::YesNo: return mb::IdYes;
        case mb::RetryCancel: return mb::IdRetry;
        default: return mb::IdOk;
    }
}

class PosixMessageBoxEdge final : public MessageBoxEdge {
public:
    int Show(const char* text, const char* caption, unsigned style) override {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return DefaultButton(style);
    }
};

}  // namespace

std::unique_ptr<MessageBoxEdge> MakeMessageBoxEdge() {
    return std::make_unique<PosixMessageBoxEdge>();
}
