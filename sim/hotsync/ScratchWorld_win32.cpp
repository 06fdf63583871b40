#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "base/PalmDesktopKeys.h"
#include "sim/hotsync/ScratchWorld.h"
#include "sim/hotsync/World.h"
#include "testing/RegistryTree.h"

namespace fs = std::filesystem;

namespace {

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

HKEY Open(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

std::vector<RegistryValue> ValuesOf(const std::string& path) {
    std::vector<RegistryValue> values;
    const HKEY key = Open(path);
    if (!key) return values;
    std::vector<char> name(16384);
    std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(),
                          &dataLength) != ERROR_SUCCESS)
            break;
        values.push_back({std::string(name.data(), nameLength), type,
                          std::vector<uint8_t>(data.begin(), data.begin() + dataLength)});
    }
    RegCloseKey(key);
    return values;
}

void SetValue(const std::string& path, const std::string& name, uint32_t type,
              const std::vector<uint8_t>& data) {
    const HKEY key = Open(path);
    if (!key) return;
    RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

std::vector<uint8_t> TextData(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

}  // namespace

// A key as it was before the test: the keys on its path that had to be made, and its values.
struct ScratchWorld::SavedKey {
    std::string path;
    bool existed = false;
    std::vector<std::string> made;  // outermost first
    std::vector<RegistryValue> values;

    explicit SavedKey(std::string keyPath) : path(std::move(keyPath)) {
        for (size_t cut = path.find('\\');; cut = path.find('\\', cut + 1)) {
            const std::string above = path.substr(0, cut);
            if (!KeyExists(above)) made.push_back(above);
            if (cut == std::string::npos) break;
        }
        existed = made.empty();
        values = ValuesOf(path);
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) == ERROR_SUCCESS)
            RegCloseKey(key);
    }

    void Restore() const {
        if (!existed) {
            DeleteRegistryTree(path);
            // The keys above it that the test made, innermost first; only while empty.
            for (auto it = made.rbegin(); it != made.rend(); ++it)
                RegDeleteKeyA(HKEY_CURRENT_USER, it->c_str());
            return;
        }
        for (const RegistryValue& value : ValuesOf(path)) {
            const HKEY key = Open(path);
            if (!key) return;
            RegDeleteValueA(key, value.name.c_str());
            RegCloseKey(key);
        }
        for (const RegistryValue& value : values)
            SetValue(path, value.name, value.type, value.data);
    }
};

ScratchWorld::ScratchWorld(const std::string& user) : user_(user) {
    static int counter = 0;
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "kestrel-world-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    while (!root_.empty() && root_.back() == '\\') root_.pop_back();
    desktop_ = root_ + "\\Desktop";
    handheld_ = root_ + "\\handheld";
    fs::remove_all(root_);
    fs::create_directories(UserFolder());
    fs::create_directories(handheld_);

    saved_.push_back(std::make_unique<SavedKey>(hsworld::kKey));
    for (const RegistryValue& value : ValuesOf(hsworld::kKey)) SetSetting(value.name.c_str(), {});
    SetSetting(hsworld::kHandheld, handheld_);
    SetSetting(hsworld::kDesktop, desktop_);
    SetSetting(hsworld::kUser, user_);

    std::string vendorRoot = palmdesktop::kVendorRoots[2];
    for (const char* vendor : palmdesktop::kVendorRoots) {
        if (const HKEY key = Open(std::string(vendor) + palmdesktop::kHotSyncManager)) {
            RegCloseKey(key);
            vendorRoot = vendor;
            break;
        }
    }
    hotSyncKey_ = vendorRoot + palmdesktop::kHotSyncManager;
    coreKey_ = vendorRoot + palmdesktop::kCore;
    // The test starts from empty keys; what was there comes back at the end.
    for (const std::string* path : {&hotSyncKey_, &coreKey_}) {
        saved_.push_back(std::make_unique<SavedKey>(*path));
        for (const RegistryValue& value : ValuesOf(*path))
            if (const HKEY key = Open(*path)) {
                RegDeleteValueA(key, value.name.c_str());
                RegCloseKey(key);
            }
    }
}

ScratchWorld::~ScratchWorld() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) (*it)->Restore();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void ScratchWorld::SetSetting(const char* name, const std::optional<std::string>& text) {
    if (text) {
        SetValue(hsworld::kKey, name, REG_SZ, TextData(*text));
        return;
    }
    if (const HKEY key = Open(hsworld::kKey)) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

void ScratchWorld::SetNumber(const char* name, uint32_t value) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(value >> (8 * i)));
    SetValue(hsworld::kKey, name, REG_DWORD, data);
}

void ScratchWorld::SetHotSyncValue(const std::string& name, uint32_t type,
                                   const std::vector<uint8_t>& data) {
    SetValue(hotSyncKey_, name, type, data);
}

void ScratchWorld::SetHotSyncText(const std::string& name, const std::string& text) {
    SetHotSyncValue(name, REG_SZ, TextData(text));
}

std::vector<RegistryValue> ScratchWorld::HotSyncValues() const { return ValuesOf(hotSyncKey_); }

void ScratchWorld::SetHotSyncPath(const std::string& path) {
    SetValue(coreKey_, "HotSyncPath", REG_SZ, TextData(path));
}

void ScratchWorld::WriteFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::optional<std::string> ScratchWorld::ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ScratchWorld::Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
