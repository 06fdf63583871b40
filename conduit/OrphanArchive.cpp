#include "conduit/OrphanArchive.h"

#include <algorithm>

#include "base/SyncLayouts.h"
#include "base/Text.h"
#include "conduit/BackupFile.h"
#include "conduit/BackupNames.h"
#include "conduit/DesktopFiles.h"
#include "conduit/SyncManager.h"

namespace {

// "C:\Ann\BACKUP\" -> "BACKUP"
std::string LastComponent(const std::string& folder) {
    const size_t end = folder.find_last_not_of('\\');
    if (end == std::string::npos) return {};
    const size_t slash = folder.rfind('\\', end);
    return folder.substr(slash == std::string::npos ? 0 : slash + 1,
                         end - (slash == std::string::npos ? 0 : slash + 1) + 1);
}

const DatabaseEntry* Named(const std::vector<DatabaseEntry>& list, const std::string& name) {
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const DatabaseEntry& e) { return e.name == name; });
    return it == list.end() ? nullptr : &*it;
}

}  // namespace

void ArchiveOrphans(OrphanPass& pass, const std::string& source,
                    const std::vector<DatabaseEntry>& list, const std::vector<DatabaseEntry>& other,
                    const std::string& archive) {
    auto warn = [&](const std::string& text) { pass.log.Add(logactivity::kWarning, false, text); };
    auto note = [&](const std::string& text) { pass.log.Add(logactivity::kText, false, text); };

    if (const int32_t error = pass.files.MakeDirectory(archive)) {
        warn(FormatText("WARNING: Unable to create archived files directory: %s (%ld).  Skipping.",
                        archive.c_str(), static_cast<long>(error)));
        return;
    }
    note(FormatText("Orphaned files being archived from %s to %s", LastComponent(source).c_str(),
                    LastComponent(archive).c_str()));

    std::vector<DesktopEntry> entries;
    pass.files.List(source, entries);
    for (const DesktopEntry& entry : entries) {
        if (backup::Skipped(entry.name)) continue;
        const std::string path = source + entry.name;
        const auto name = ReadBackupName(pass.files, path);
        if (!name && entry.directory) {
            warn(
                FormatText("ERROR:  Can't archive file %s.  Invalid file attributes - may be a "
                           "directory (%ld)",
                           entry.name.c_str(), static_cast<long>(entry.attributes)));
            continue;
        }
        if (!name) {
            note(FormatText("WARNING:  error reading %s while trying to delete orphaned files",
                            entry.name.c_str()));
            continue;
        }
        if (Named(list, *name)) continue;  // its database is still there

        const DatabaseEntry* moved = Named(other, *name);
        if (moved && CopyState(pass.files, pass.calls, path, *moved) == 0) {
            if (pass.files.Delete(path) != 0) {
                warn(FormatText("WARNING: unable to delete duplicate file: %s", name->c_str()));
            } else {
                note(
                    FormatText("\t- %s: found identical copy on device.  Directory copy (%s) "
                               "deleted, not archived",
                               name->c_str(), path.c_str()));
            }
            continue;
        }
        if (backup::CopyWhole(pass.files, path, archive + entry.name) != 0) {
            warn(FormatText("ERROR: Unable to move orphaned file %s to archive directory!",
                            entry.name.c_str()));
            continue;
        }
        if (const int32_t error = pass.files.Delete(path)) {
            warn(FormatText("WARNING: Unable to delete file %s from directory %s (%ld).",
                            entry.name.c_str(), source.c_str(), static_cast<long>(error)));
            continue;
        }
        note(FormatText("\t- %s", entry.name.c_str()));
    }
}
