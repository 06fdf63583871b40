// The simulated HotSync world's settings, which test scripts and the demo write under the
// current user before they start the stand-ins: which virtual handheld sits in the cradle,
// where the desktop keeps its users' files, and whose handheld it is.
#pragma once

namespace hsworld {

constexpr const char* kKey = "Software\\Kestrel\\Simulated HotSync";
// Text: the virtual handheld's state directory, as the stand-ins see it (a Windows path).
constexpr const char* kHandheld = "Handheld";
// Text: the folder that holds each desktop user's folder (its name is the user's name).
constexpr const char* kDesktop = "Desktop";
// Text: the desktop user whose handheld sits in the cradle.
constexpr const char* kUser = "User";
// Dword: what HsGetSyncStatus reports, kept by the HotSync Manager stand-in: 0 idle,
// 0xFFFFFFFF while a HotSync runs.
constexpr const char* kSyncStatus = "SyncStatus";

}  // namespace hsworld
