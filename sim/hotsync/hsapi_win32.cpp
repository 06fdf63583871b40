// hsapi.dll, the stand-in of HotSync Manager's status library: HsGetSyncStatus reports what
// the HotSync Manager stand-in keeps in the world's key, 0 while idle and 0xFFFFFFFF while a
// HotSync runs. Exported by its plain name, __stdcall (WINAPI), as the wizard looks it up.
#include <windows.h>

#include "base/RegistryEdge.h"
#include "sim/hotsync/World.h"

extern "C" DWORD WINAPI HsGetSyncStatus(DWORD* status) {
    if (!status) return 1;
    *status = 0;
    const auto key = MakeRegistryEdge()->OpenCurrentUser(hsworld::kKey);
    RegistryValue value;
    if (!key || key->ReadValue(hsworld::kSyncStatus, value) != RegistryRead::Ok ||
        value.type != regtype::Dword || value.data.size() < 4)
        return 0;
    *status = DWORD{value.data[0]} | DWORD{value.data[1]} << 8 | DWORD{value.data[2]} << 16 |
              DWORD{value.data[3]} << 24;
    return 0;
}
