#include "sim/hotsync/WorldSettings.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "sim/hotsync/HotSyncSession.h"

namespace hsworld {

std::optional<std::string> ReadSetting(RegistryEdge& registry, const char* name) {
    const std::unique_ptr<RegistryKey> key = registry.OpenCurrentUser(kKey);
    if (!key) return std::nullopt;
    std::string text;
    if (key->ReadText(name, text) != RegistryRead::Ok || text.empty()) return std::nullopt;
    return text;
}

std::optional<uint32_t> ReadNumber(RegistryEdge& registry, const char* name) {
    const std::unique_ptr<RegistryKey> key = registry.OpenCurrentUser(kKey);
    RegistryValue value;
    if (!key || key->ReadValue(name, value) != RegistryRead::Ok || value.type != regtype::Dword ||
        value.data.size() != 4)
        return std::nullopt;
    return uint32_t{value.data[0]} | uint32_t{value.data[1]} << 8 | uint32_t{value.data[2]} << 16 |
           uint32_t{value.data[3]} << 24;
}

bool IsPlainName(const std::string& user) {
    return !user.empty() && user != "." && user != ".." &&
           user.find_first_of("\\/:") == std::string::npos;
}

namespace {

// A folder setting joined with a name below it, however many separators the setting ends in.
std::optional<std::string> Below(RegistryEdge& registry, const char* setting,
                                 const std::string& name) {
    std::optional<std::string> folder = ReadSetting(registry, setting);
    if (!folder) return std::nullopt;
    while (!folder->empty() && (folder->back() == '\\' || folder->back() == '/'))
        folder->pop_back();
    if (folder->empty()) return std::nullopt;
    return *folder + "\\" + name;
}

}  // namespace

std::optional<std::string> UserFolder(RegistryEdge& registry, const std::string& user) {
    if (!IsPlainName(user)) return std::nullopt;
    return Below(registry, kDesktop, user);
}

std::optional<std::string> BackupFolder(RegistryEdge& registry) {
    const auto user = ReadSetting(registry, kUser);
    const auto folder = user ? UserFolder(registry, *user) : std::nullopt;
    if (!folder) return std::nullopt;
    return *folder + "\\" + hotsync_session::kBackupFolder;
}

std::optional<std::string> InstallFolder(RegistryEdge& registry) {
    return Below(registry, kHandheld, "install");
}

int32_t CopyOut(const std::string& text, char* buffer, uint32_t& capacity) {
    if (!buffer || capacity == 0) {
        capacity = static_cast<uint32_t>(text.size() + 1);
        return kBadArgument;
    }
    const size_t fits = std::min<size_t>(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), fits);
    buffer[fits] = '\0';
    capacity = static_cast<uint32_t>(text.size() + 1);
    return fits == text.size() ? kOk : kCut;
}

}  // namespace hsworld
