#include <windows.h>

#include <utility>

#include "base/StringTableEdge.h"

namespace {

class Win32StringTableEdge final : public StringTableEdge {
public:
    explicit Win32StringTableEdge(std::unique_ptr<ResourceModuleEdge> modules)
        : modules_(std::move(modules)) {}

    int Load(int id, char* buffer, int size) override {
        if (size <= 0) return 0;
        buffer[0] = '\0';
        // An empty string is stored like a missing one, and LoadString may leave the last
        // error untouched for it; start from a clean slate so a stale code is not reported.
        SetLastError(ERROR_SUCCESS);
        const int n = LoadStringA(static_cast<HINSTANCE>(modules_->Current()),
                                  static_cast<UINT>(id), buffer, size);
        if (n <= 0) {
            lastError_ = GetLastError();
            if (lastError_ == ERROR_SUCCESS) lastError_ = ERROR_RESOURCE_NAME_NOT_FOUND;
            return 0;
        }
        return n;
    }

    unsigned long LastError() override { return lastError_; }

private:
    std::unique_ptr<ResourceModuleEdge> modules_;
    unsigned long lastError_ = 0;
};

}  // namespace

std::unique_ptr<StringTableEdge> MakeStringTableEdge(std::unique_ptr<ResourceModuleEdge> modules) {
    return std::make_unique<Win32StringTableEdge>(std::move(modules));
}
