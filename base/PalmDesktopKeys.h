// Where Palm Desktop keeps its settings: below one of three vendor roots under the current
// user, which every program of the kit tries in the same order. Each use opens its key afresh,
// so two keys may come from different roots.
#pragma once

#include <memory>
#include <string>

#include "base/RegistryEdge.h"

namespace palmdesktop {

inline constexpr const char* kVendorRoots[] = {
    "Software\\U.S. Robotics\\Pilot Desktop\\",
    "Software\\US Robotics\\Pilot Desktop\\",
    "Software\\Palm Computing\\Pilot Desktop\\",
};
inline constexpr const char* kCore = "Core";
inline constexpr const char* kHotSyncManager = "HotSync Manager";

// The key `subkey` below the first vendor root where it opens with full access, as things
// stand now; nullptr when it opens under none.
inline std::unique_ptr<RegistryKey> OpenFirstKey(RegistryEdge& registry, const char* subkey) {
    for (const char* root : kVendorRoots)
        if (auto key = registry.OpenCurrentUser(std::string(root) + subkey)) return key;
    return nullptr;
}

}  // namespace palmdesktop
