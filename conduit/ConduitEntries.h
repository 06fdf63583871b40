// What the conduit's entries decide, apart from the backup run itself (conduit/BackupPass.h):
// its name and the information HotSync Manager asks of it, the HotSync action a user picks in
// the "Change Hotsync Action" dialog, and naming the backup conduit, ours or HotSync
// Manager's default one. stashmate_win32.cpp exports them as HotSync Manager calls them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class HotSyncLog;

namespace conduit {

constexpr const char* kName = "Stashmate";
constexpr int32_t kInterfaceVersion = 0x0101;
constexpr const char* kDefaultBackupConduit = "bakcn20.dll";
// The one key the default conduit is written back into; it is never made.
constexpr const char* kHotSyncManagerKey =
    "Software\\U.S. Robotics\\Pilot Desktop\\HotSync Manager";

// GetConduitInfo's kinds of information and its answers.
namespace info {
constexpr int32_t kName = 0;
constexpr int32_t kClassLibraryVersion = 1;
constexpr int32_t kDefaultAction = 2;
constexpr uint32_t kClassLibraryVersionValue = 0x0500;
constexpr int32_t kUnknownInfo = 4208;
constexpr int32_t kNoOutput = 4209;
constexpr int32_t kBadSize = 4211;
constexpr int32_t kNoInput = 4212;
constexpr int32_t kBadInput = 4213;
constexpr int32_t kNoSize = 4215;
}  // namespace info

}  // namespace conduit

// GetConduitName: the whole buffer zeroed, then "Stashmate", at most length - 1 characters.
int32_t ConduitName(char* buffer, int16_t length);
// GetConduitInfo on the caller's buffers; `input` points at two 32-bit values when given.
int32_t ConduitInfo(int32_t kind, const void* input, void* output, uint32_t* size);

// The three HotSync actions of the dialog, in its order.
enum class SyncAction { HandheldOverwrites, DoNothing, DesktopOverwrites };
// The action a sync type preselects; any type but 6 and 3 preselects "Handheld overwrites
// desktop".
SyncAction ActionOfSyncType(uint32_t syncType);
uint32_t SyncTypeOfAction(SyncAction action);

// The dialog, as the platform shows it: false after Cancel.
class SyncActionDialog {
public:
    virtual ~SyncActionDialog() = default;
    // Starts with `action` selected and "Set as default" unchecked; on OK gives the choice.
    virtual bool Ask(SyncAction& action, bool& setAsDefault) = 0;
};
// The Win32 dialog "Change Hotsync Action" (ActionDialog_win32.cpp).
std::unique_ptr<SyncActionDialog> MakeSyncActionDialog();
// ConfigureConduit on the sync preference record (base/SyncLayouts.h syncprefs): 0 after OK,
// with the sync type and permanence written, -1 after Cancel with the record untouched.
int32_t ConfigureSyncAction(uint8_t* preferences, SyncActionDialog& dialog);

// Writes the string value "BackupConduit" into HotSync Manager's key (kHotSyncManagerKey,
// opened, never made): the registry's error code, 0 on success.
using BackupConduitWriter = std::function<int32_t(const std::string& file)>;
// Puts HotSync Manager's own backup conduit back, logging the outcome; the registry's error
// code, 0 on success.
int32_t RestoreDefaultBackupConduit(const BackupConduitWriter& write, HotSyncLog& log);
