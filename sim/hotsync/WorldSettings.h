// The simulated HotSync world as the stand-ins of Palm Desktop's libraries see it: its
// settings (World.h) read from the registry, the folders derived from them, and how a result
// is handed back through a caller's buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/RegistryEdge.h"
#include "sim/hotsync/World.h"

namespace hsworld {

// What the stand-ins' library calls return. The kit ignores it; tests look.
enum Result : int32_t {
    kOk = 0,
    kMissing = -1,      // a setting, the user or a file is not there
    kBadArgument = -2,  // no buffer, no name, or a name that is no plain name
    kCut = -3,          // the text did not fit the buffer and was cut
    kFileError = -4,    // a folder or file could not be made
};

// A text setting of the world's key; nullopt when the key or the value is missing, is not
// text or is empty.
std::optional<std::string> ReadSetting(RegistryEdge& registry, const char* name);

// A dword setting of the world's key; nullopt when the key or the value is missing or the
// value is no dword.
std::optional<uint32_t> ReadNumber(RegistryEdge& registry, const char* name);

// The backup folder of the world's user: their folder's "BACKUP" (no trailing backslash).
std::optional<std::string> BackupFolder(RegistryEdge& registry);

// Whether `user` can be a desktop user's folder name: not empty, no path separator, no drive
// colon, not "." or "..".
bool IsPlainName(const std::string& user);

// The desktop folder of `user`: "Desktop", a backslash and the name (no trailing backslash).
std::optional<std::string> UserFolder(RegistryEdge& registry, const std::string& user);

// The folder in which the virtual handheld finds the files queued for its next HotSync: its
// state directory's "install" folder.
std::optional<std::string> InstallFolder(RegistryEdge& registry);

// Copies `text` into a buffer of `capacity` characters (its NUL included), cut to fit, and sets
// `capacity` to what the whole text needs. kCut when it did not fit; kBadArgument without a
// buffer.
int32_t CopyOut(const std::string& text, char* buffer, uint32_t& capacity);

}  // namespace hsworld
