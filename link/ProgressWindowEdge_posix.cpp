#include "link/ProgressWindowEdge.h"

namespace {

// There are no windows here; the command line and tests override GuiCallback::Progress.
class NoWindows final : public ProgressWindowEdge {
public:
    void Send(void*, uint32_t, int32_t) override {}
};

}  // namespace

std::unique_ptr<ProgressWindowEdge> MakeProgressWindowEdge() {
    return std::make_unique<NoWindows>();
}
