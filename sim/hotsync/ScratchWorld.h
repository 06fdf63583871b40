// Test equipment for the Windows tests of the stand-ins and of what HotSync Manager loads: the
// simulated HotSync world set up in scratch folders, its settings written into the world's key
// (World.h), and Palm Desktop's "HotSync Manager" key present and empty. Whatever it changed
// goes back as it was found when it goes: both keys, their values, the keys above them it
// made, and the scratch folders. Tests that use it share the registry of the Wine prefix, so
// ctest runs them under one resource lock ("hotsync_world").
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/RegistryEdge.h"

class ScratchWorld {
public:
    // A desktop with one user, `user`, whose handheld is in the cradle.
    explicit ScratchWorld(const std::string& user);
    ~ScratchWorld();
    ScratchWorld(const ScratchWorld&) = delete;
    ScratchWorld& operator=(const ScratchWorld&) = delete;

    // Windows paths, without a trailing backslash.
    const std::string& Root() const { return root_; }
    const std::string& Desktop() const { return desktop_; }
    const std::string& Handheld() const { return handheld_; }
    std::string UserFolder() const { return desktop_ + "\\" + user_; }
    std::string InstallFolder() const { return handheld_ + "\\install"; }

    // A setting of the world's key; nullopt removes it.
    void SetSetting(const char* name, const std::optional<std::string>& text);
    void SetNumber(const char* name, uint32_t value);

    // HotSync Manager's key, under the first vendor root where it opened (or the one made).
    const std::string& HotSyncManagerKey() const { return hotSyncKey_; }
    void SetHotSyncValue(const std::string& name, uint32_t type, const std::vector<uint8_t>& data);
    void SetHotSyncText(const std::string& name, const std::string& text);
    std::vector<RegistryValue> HotSyncValues() const;
    // "HotSyncPath" of the "Core" key (under the same vendor root): the program that is
    // HotSync Manager.
    void SetHotSyncPath(const std::string& path);

    // Files, with the folders above them made as needed.
    static void WriteFile(const std::string& path, const std::string& content);
    static std::optional<std::string> ReadFile(const std::string& path);
    static bool Exists(const std::string& path);

    struct SavedKey;

private:
    std::string user_, root_, desktop_, handheld_, hotSyncKey_, coreKey_;
    std::vector<std::unique_ptr<SavedKey>> saved_;
};
