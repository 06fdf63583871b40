// The stand-in of HotSync Manager's hslog20.dll, the HotSync log: each entry a conduit adds
// is appended at once to HotSync.log in the world's user's folder, where HotSync.exe writes its
// own lines, in the form HotSyncLog.h gives.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "base/RegistryEdge.h"
#include "base/SyncApi.h"
#include "sim/hotsync/HotSyncLog.h"
#include "sim/hotsync/WorldSettings.h"

namespace {

int32_t Add(int32_t activity, int32_t timestamp, const std::string& text) {
    try {
        const auto registry = MakeRegistryEdge();
        const auto user = hsworld::ReadSetting(*registry, hsworld::kUser);
        const auto folder = user ? hsworld::UserFolder(*registry, *user) : std::nullopt;
        if (!folder) return hsworld::kMissing;
        const std::string line =
            hotsync_log::FormatEntry(activity, timestamp != 0, text, hotsync_log::LocalStamp());
        return hotsync_log::Append(*folder, {line}) ? hsworld::kOk : hsworld::kFileError;
    } catch (...) {
        return hsworld::kFileError;
    }
}

}  // namespace

extern "C" {

// Ordinal 52.
int32_t KESTREL_STDCALL LogAddEntry(const char* text, int32_t activity, int32_t timestamp) {
    if (!text) return hsworld::kBadArgument;
    return Add(activity, timestamp, text);
}

int32_t LogAddFormattedEntry(int32_t activity, int32_t timestamp, const char* format, ...) {
    if (!format) return hsworld::kBadArgument;
    std::va_list values;
    va_start(values, format);
    std::va_list again;
    va_copy(again, values);
    const int size = std::vsnprintf(nullptr, 0, format, values);
    va_end(values);
    if (size < 0) {
        va_end(again);
        return hsworld::kBadArgument;
    }
    std::vector<char> text(static_cast<size_t>(size) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    return Add(activity, timestamp, std::string(text.data(), static_cast<size_t>(size)));
}

}  // extern "C"
