#include "conduit/ConduitEntries.h"

#include <cstring>

#include "base/ByteOrder.h"
#include "base/SyncLayouts.h"
#include "base/Text.h"
#include "conduit/SyncManager.h"

using namespace conduit;

namespace {

// What HotSync Manager passes with a request for the name: its first two 32-bit values.
constexpr uint32_t kNameRequestFirst = 1;
constexpr uint32_t kNameRequestSecond = 80;

void CopyName(char* buffer, size_t capacity) {
    std::memset(buffer, 0, capacity);
    if (capacity > 0) std::strncpy(buffer, kName, capacity - 1);
}

}  // namespace

int32_t ConduitName(char* buffer, int16_t length) {
    if (buffer && length > 0) CopyName(buffer, static_cast<size_t>(length));
    return 0;
}

int32_t ConduitInfo(int32_t kind, const void* input, void* output, uint32_t* size) {
    if (!output) return info::kNoOutput;
    if (!size) return info::kNoSize;
    auto* out = static_cast<uint8_t*>(output);
    switch (kind) {
        case info::kName: {
            if (!input) return info::kNoInput;
            const auto* in = static_cast<const uint8_t*>(input);
            if (byteorder::GetLE32(in) != kNameRequestFirst ||
                byteorder::GetLE32(in + 4) != kNameRequestSecond)
                return info::kBadInput;
            CopyName(static_cast<char*>(output), *size);
            return 0;
        }
        case info::kClassLibraryVersion:
            if (*size != 4) return info::kBadSize;
            byteorder::PutLE32(out, info::kClassLibraryVersionValue);
            return 0;
        case info::kDefaultAction:
            if (*size != 4) return info::kBadSize;
            byteorder::PutLE32(out, syncprops::kSyncTypeHandheldOverwrites);
            return 0;
        default: return info::kUnknownInfo;
    }
}

SyncAction ActionOfSyncType(uint32_t syncType) {
    switch (syncType) {
        case syncprops::kSyncTypeDoNothing: return SyncAction::DoNothing;
        case syncprops::kSyncTypeDesktopOverwrites: return SyncAction::DesktopOverwrites;
        default: return SyncAction::HandheldOverwrites;
    }
}

uint32_t SyncTypeOfAction(SyncAction action) {
    switch (action) {
        case SyncAction::DoNothing: return syncprops::kSyncTypeDoNothing;
        case SyncAction::DesktopOverwrites: return syncprops::kSyncTypeDesktopOverwrites;
        case SyncAction::HandheldOverwrites: break;
    }
    return syncprops::kSyncTypeHandheldOverwrites;
}

int32_t ConfigureSyncAction(uint8_t* preferences, SyncActionDialog& dialog) {
    SyncAction action = ActionOfSyncType(byteorder::GetLE32(preferences + syncprefs::kSyncType));
    bool setAsDefault = false;
    if (!dialog.Ask(action, setAsDefault)) return -1;
    byteorder::PutLE32(preferences + syncprefs::kSyncType, SyncTypeOfAction(action));
    byteorder::PutLE32(preferences + syncprefs::kPermanence,
                       setAsDefault ? syncprefs::kPermanent : syncprefs::kThisSyncOnly);
    return 0;
}

int32_t RestoreDefaultBackupConduit(const BackupConduitWriter& write, HotSyncLog& log) {
    const int32_t error = write(kDefaultBackupConduit);
    if (error == 0) {
        log.Add(logactivity::kText, false,
                "Default backup conduit succesfully restored.  HotSync Manager should be "
                "restarted.");
    } else {
        log.Add(
            logactivity::kWarning, false,
            FormatText("Unable to restore default backup conduit (%ld)", static_cast<long>(error)));
    }
    return error;
}
