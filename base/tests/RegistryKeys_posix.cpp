#include "base/MemoryRegistry.h"
#include "base/tests/RegistryKeys.h"

namespace {

class MemoryKeys final : public TestKeys {
public:
    void Create(const std::string& path) override { registry_.CreateKey(path); }
    void Remove(const std::string& path) override { registry_.DeleteKey(path); }
    void Set(const std::string& path, const std::string& name, uint32_t type,
             const std::vector<uint8_t>& data) override {
        registry_.SetValue(path, name, type, data);
    }
    std::unique_ptr<RegistryEdge> Edge() override { return registry_.Edge(); }

private:
    MemoryRegistry registry_;
};

}  // namespace

std::unique_ptr<TestKeys> MakeTestKeys() { return std::make_unique<MemoryKeys>(); }
