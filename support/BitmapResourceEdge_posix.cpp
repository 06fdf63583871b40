// Native builds carry no resources: no bitmap is found, and the pictures stay empty.
#include "support/BitmapResourceEdge.h"

namespace {

class NoBitmapResources final : public BitmapResourceEdge {
public:
    bool Load(int, std::vector<uint8_t>& bytes) override {
        bytes.clear();
        return false;
    }
};

}  // namespace

std::unique_ptr<BitmapResourceEdge> MakeBitmapResourceEdge() {
    return std::make_unique<NoBitmapResources>();
}
