#include <windows.h>

#include <vector>

#include "base/RegistryEdge.h"

namespace {

class Win32Key final : public RegistryKey {
public:
    explicit Win32Key(HKEY key) : key_(key) {}
    ~Win32Key() override { RegCloseKey(key_); }

    RegistryRead ReadText(const std::string& name, std::string& text) override {
        text.clear();
        DWORD type = 0, size = 0;
        LONG r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
        if (r == ERROR_FILE_NOT_FOUND) return RegistryRead::Missing;
        if (r != ERROR_SUCCESS) return RegistryRead::Failed;
        if (type != REG_SZ) return RegistryRead::NotText;
        // The size may change between the two calls; read what fits and stop at the NUL, or
        // at the end of the data when a value was stored without one.
        std::vector<char> data(size + 1, '\0');
        DWORD got = size;
        r = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &got);
        if (r != ERROR_SUCCESS || type != REG_SZ) return RegistryRead::Failed;
        const DWORD end = got < size ? got : size;
        for (DWORD i = 0; i < end && data[i] != '\0'; ++i) text += data[i];
        return RegistryRead::Ok;
    }

    bool WriteText(const std::string& name, const std::string& text) override {
        return RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    }

    bool DeleteValue(const std::string& name) override {
        return RegDeleteValueA(key_, name.c_str()) == ERROR_SUCCESS;
    }

    RegistryRead ReadValue(const std::string& name, RegistryValue& value) override {
        DWORD type = 0, size = 0;
        LONG r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
        if (r == ERROR_FILE_NOT_FOUND) return RegistryRead::Missing;
        if (r != ERROR_SUCCESS) return RegistryRead::Failed;
        std::vector<BYTE> data(size, 0);
        DWORD got = size;
        r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, data.data(), &got);
        if (r != ERROR_SUCCESS) return RegistryRead::Failed;
        value.name = name;
        value.type = type;
        value.data.assign(data.begin(), data.begin() + (got < size ? got : size));
        return RegistryRead::Ok;
    }

    bool WriteValue(const RegistryValue& value) override {
        return RegSetValueExA(key_, value.name.c_str(), 0, value.type, value.data.data(),
                              static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
    }

    bool QueryInfo(Info& info) override {
        DWORD values = 0, longestName = 0, longestData = 0;
        if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        info.values = values;
        info.longestName = longestName;
        info.longestData = longestData;
        return true;
    }

    RegistryEnum EnumValue(uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                           RegistryValue& value) override {
        std::vector<char> name(nameCapacity + 1, '\0');
        std::vector<BYTE> data(dataCapacity + 1, 0);
        DWORD nameLength = nameCapacity;
        DWORD dataLength = dataCapacity;
        DWORD type = 0;
        const LONG r = RegEnumValueA(key_, index, name.data(), &nameLength, nullptr, &type,
                                     data.data(), &dataLength);
        if (r == ERROR_MORE_DATA) return RegistryEnum::TooLarge;
        if (r != ERROR_SUCCESS) return RegistryEnum::End;
        value.name.assign(name.data(), nameLength);
        value.type = type;
        value.data.assign(data.begin(), data.begin() + dataLength);
        return RegistryEnum::Ok;
    }

    std::vector<std::string> SubkeyNames() override {
        std::vector<std::string> names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            const LONG r =
                RegEnumKeyExA(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (r != ERROR_SUCCESS) break;
            names.emplace_back(name, length);
        }
        return names;
    }

private:
    HKEY key_;
};

class Win32Registry final : public RegistryEdge {
public:
    std::unique_ptr<RegistryKey> OpenCurrentUser(const std::string& path) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) !=
            ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<Win32Key>(key);
    }
};

}  // namespace

std::unique_ptr<RegistryEdge> MakeRegistryEdge() { return std::make_unique<Win32Registry>(); }
