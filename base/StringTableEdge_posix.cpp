// A resource module here is an in-memory string table (base/ResourceModuleEdge_posix.cpp).
#include <cstdio>
#include <utility>

#include "base/StringTable.h"
#include "base/StringTableEdge.h"

namespace {

// The platform's "resource not found" error, so that a missing string reads the same way
// natively as on Windows.
constexpr unsigned long kResourceNotFound = 1814;

class PosixStringTableEdge final : public StringTableEdge {
public:
    explicit PosixStringTableEdge(std::unique_ptr<ResourceModuleEdge> modules)
        : modules_(std::move(modules)) {}

    int Load(int id, char* buffer, int size) override {
        if (size <= 0) return 0;
        buffer[0] = '\0';
        const auto* table = static_cast<const TStringTable*>(modules_->Current());
        for (std::size_t i = 0; i < table->count; ++i) {
            const TStringRow& row = table->rows[i];
            if (row.id != id) continue;
            const int n = std::snprintf(buffer, static_cast<size_t>(size), "%s", row.text);
            const int kept = n < size ? n : size - 1;
            if (kept <= 0) lastError_ = kResourceNotFound;
            return kept < 0 ? 0 : kept;
        }
        lastError_ = kResourceNotFound;
        return 0;
    }

    unsigned long LastError() override { return lastError_; }

private:
    std::unique_ptr<ResourceModuleEdge> modules_;
    unsigned long lastError_ = 0;
};

}  // namespace

std::unique_ptr<StringTableEdge> MakeStringTableEdge(std::unique_ptr<ResourceModuleEdge> modules) {
    return std::make_unique<PosixStringTableEdge>(std::move(modules));
}
