#include "sim/hotsync/WorldSettings.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace hsworld {

std::optional<std::string> ReadSetting(RegistryEdge& registry, const char* name) {
    const std::unique_ptr<RegistryKey> key = registry.OpenCurrentUser(kKey);
    if (!key) return std::nullopt;
    std::string text;
    if (key->ReadText(name, text) != RegistryRead::Ok || text.empty()) return std::nullopt;
    return text;
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
