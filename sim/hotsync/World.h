// The simulated HotSync world's settings, which test scripts and the demo write under the
// current user before they start the stand-ins: which virtual handheld sits in the cradle,
// where the desktop keeps its users' files, whose handheld it is, how HotSync Manager runs the
// backup conduit, and the faults the Sync Manager stand-in (sync20.dll) plays. What the
// stand-ins write to HotSync.log is sim/hotsync/HotSyncLog.h's.
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

// Dword: the sync type HotSync Manager gives the backup conduit (syncprops, base/SyncLayouts.h):
// 2 handheld overwrites desktop (the default), 3 desktop overwrites handheld, 6 do nothing.
constexpr const char* kSyncType = "SyncType";
// Dword: the connection type it gives the conduit: 0 the cradle (the default), 1 a modem.
constexpr const char* kConnection = "Connection";
// Dword: how many times pdcmn21.dll's InitPdcmn5DLL was called; counted only while the key
// exists, never made by it.
constexpr const char* kCommonLibraryInits = "CommonLibraryInits";

// Dword, kept by sync20.dll when a conduit unregisters: how many records, resources and
// AppInfo blocks it read from the handheld in that HotSync.
constexpr const char* kBlocksRead = "BlocksRead";

// The faults sync20.dll plays, read when a conduit registers (sim/hotsync/SyncServer.h has the
// codes). "Handheld calls" are all but registering, unregistering, the OS version, the
// byte-order helpers and SyncYieldCycles.
//
// Dword N: a busy handheld: each of the first N handheld calls answers 0x10006410 (try
// again) once before it answers, which costs a conduit N one-second waits.
constexpr const char* kFaultTransient = "FaultTransient";
// Text, a database name: the connection is lost as that database is opened. That open and
// every handheld call after it (SyncYieldCycles too) answer 0x10006410, until the conduit
// unregisters.
constexpr const char* kFaultLostAt = "FaultLostAt";
// Text, a database name, and dword, an index: reading that record (or resource) of that
// database answers 0x4009, an error that loses the conduit only that database.
constexpr const char* kFaultBadRecord = "FaultBadRecord";
constexpr const char* kFaultBadRecordIndex = "FaultBadRecordIndex";
// Text, a database name: as that database is opened (the open itself succeeds), the file system
// holding the user's backup folder is filled, so that the conduit's next desktop writes fail.
// The filler is the file "temp007\disk-filler.bin" in the backup folder (the conduit's scratch
// folder, which it passes over and removes at the start of its next run); a test removes it
// to free the disk. A file system with more than 256 MiB free is never filled: a test's small
// one is meant (sync20.dll then fills nothing and says so in HotSync.log).
constexpr const char* kFaultDiskFullAt = "FaultDiskFullAt";

}  // namespace hsworld
