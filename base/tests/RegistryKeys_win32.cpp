#include <windows.h>

#include "base/tests/RegistryKeys.h"
#include "testing/RegistryTree.h"

namespace {

class Win32Keys final : public TestKeys {
public:
    void Create(const std::string& path) override {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    void Remove(const std::string& path) override { DeleteRegistryTree(path); }
    void Set(const std::string& path, const std::string& name, uint32_t type,
             const std::vector<uint8_t>& data) override {
        Create(path);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) !=
            ERROR_SUCCESS)
            return;
        RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
        RegCloseKey(key);
    }
    std::unique_ptr<RegistryEdge> Edge() override { return MakeRegistryEdge(); }
};

}  // namespace

std::unique_ptr<TestKeys> MakeTestKeys() { return std::make_unique<Win32Keys>(); }
