// The virus-scanner plug-in "VScanners.dll" as the backup conduit calls it: one export,
// GetScanners, handing out a table of scanners, the plug-in's version, and where its update
// list and a newer plug-in are fetched from. __stdcall throughout; the table is the machine's
// own structure (four function pointers: 16 bytes for a 32-bit HotSync Manager).
#pragma once

#include <cstdint>

#include "base/SyncApi.h"  // KESTREL_STDCALL

struct VirusScanner {
    const char*(KESTREL_STDCALL* name)();
    const char*(KESTREL_STDCALL* version)();
    // 0 when the file was scanned; *infected then says what was found.
    int32_t(KESTREL_STDCALL* scan)(const char* path, int32_t* infected);
    void* reserved;  // the plug-in's own; never called
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(VirusScanner) == 16, "four function pointers of a 32-bit process");
#endif

constexpr const char* kGetScannersExport = "GetScanners";
// 0 when it handed everything out; the table and the texts stay valid while the plug-in is
// loaded.
using GetScannersCall = int32_t(KESTREL_STDCALL*)(const VirusScanner** table, int32_t* count,
                                                  const char** version, const char** updateListUrl,
                                                  const char** downloadUrl);
