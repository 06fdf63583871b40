#include <windows.h>

#include "base/ResourceModuleEdge.h"
#include "support/BitmapResourceEdge.h"

namespace {

class Win32BitmapResources final : public BitmapResourceEdge {
public:
    bool Load(int id, std::vector<uint8_t>& bytes) override {
        bytes.clear();
        // The pictures are the program's, never a language module's.
        const auto module = static_cast<HMODULE>(modules_->Program());
        // Type 2 is RT_BITMAP, named in its ANSI form like every call here.
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));
        if (!found) return false;
        const DWORD size = SizeofResource(module, found);
        HGLOBAL loaded = LoadResource(module, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data || size == 0) return false;
        const auto* first = static_cast<const uint8_t*>(data);
        bytes.assign(first, first + size);
        return true;
    }

private:
    const std::unique_ptr<ResourceModuleEdge> modules_ = MakeResourceModuleEdge();
};

}  // namespace

std::unique_ptr<BitmapResourceEdge> MakeBitmapResourceEdge() {
    return std::make_unique<Win32BitmapResources>();
}
