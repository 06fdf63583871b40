// The stand-in of HotSync Manager's pdcmn21.dll, the common library, which a conduit
// initialises once when it is loaded. It has nothing to set up; it counts the calls in the
// world's key (World.h), so that a test sees the conduit made it.
#include <windows.h>

#include "base/RegistryEdge.h"
#include "base/SyncApi.h"
#include "sim/hotsync/WorldSettings.h"

extern "C" int32_t KESTREL_STDCALL InitPdcmn5DLL() {
    try {
        const auto registry = MakeRegistryEdge();
        const auto key = registry->OpenCurrentUser(hsworld::kKey);
        if (!key) return 0;
        const uint32_t calls =
            hsworld::ReadNumber(*registry, hsworld::kCommonLibraryInits).value_or(0) + 1;
        RegistryValue value{hsworld::kCommonLibraryInits, regtype::Dword, {}};
        for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(calls >> (8 * i)));
        key->WriteValue(value);
    } catch (...) {
        // Counting is for tests; the library's answer does not depend on it.
    }
    return 0;
}
