// The stand-in of Palm Desktop's userdata.dll: the HotSync user of the simulated world.
#include <windows.h>

#include <string>

#include "base/RegistryEdge.h"
#include "sim/hotsync/WorldSettings.h"

// Exported by ordinal only (userdata.def), stdcall like the real library.
extern "C" {

// Ordinal 103: the name of the user `data` stands for, cut to `capacity` characters (its NUL
// included); `capacity` comes back as what the whole name needs. The world has one user, the
// one whose handheld sits in the cradle, so `data` is not looked at.
LONG WINAPI UserNameOf(DWORD data, char* name, DWORD* capacity) {
    (void)data;
    if (!name || !capacity) return hsworld::kBadArgument;
    try {
        uint32_t size = *capacity;
        const auto user = hsworld::ReadSetting(*MakeRegistryEdge(), hsworld::kUser);
        const int32_t result = hsworld::CopyOut(user.value_or(""), name, size);
        *capacity = size;
        return user ? result : hsworld::kMissing;
    } catch (...) {
        return hsworld::kFileError;
    }
}

}  // extern "C"
