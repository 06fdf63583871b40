// At the end of a backup run: backup files whose database has gone from the handheld
// (orphans) are moved into the archive folder, so that a database deleted on the handheld is
// kept on the desktop. A file that is a copy of a database now held in the other memory (RAM
// instead of flash ROM, or the reverse), with the same dates, is deleted instead.
#pragma once

#include <string>
#include <vector>

#include "base/SyncRecords.h"

class DesktopFiles;
class HotSyncLog;
class SyncCalls;

struct OrphanPass {
    DesktopFiles& files;
    HotSyncLog& log;
    SyncCalls& calls;
};

// One folder (`source`, ending in a backslash) against its memory's list and the other
// memory's list, into `archive`. No failure stops it: each is logged and the next file taken.
void ArchiveOrphans(OrphanPass& pass, const std::string& source,
                    const std::vector<DatabaseEntry>& list, const std::vector<DatabaseEntry>& other,
                    const std::string& archive);
