// Test equipment: a key of the current user's registry taken away with everything below it,
// as tests clean up the keys they made.
#pragma once

#include <string>

// Removes HKEY_CURRENT_USER\<path> and every key below it; nothing when it does not exist.
// Windows only.
void DeleteRegistryTree(const std::string& path);
