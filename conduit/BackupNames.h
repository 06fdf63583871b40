// Where a database's backup lives: the folders of a user's backups, and the file a database
// is kept in. A file name is the database's name with every character a Windows file name
// cannot hold, and '.', ' ' and every control character, made '_', then ".PRC" for a resource
// database or ".PDB". Two databases whose names come out the same must not share a file, or
// one backup would be lost: a database's file is the first of NAME, NAME_2, NAME_3, ... (before
// the extension) that is absent or already holds that database (its name in the header), and
// that no other database took in this run. So every run finds the same file for the same
// database, and its up-to-date, move and orphan checks work on it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

class DesktopFiles;

namespace backup {

// Scratch folder below the backup folder: removed at the start of every run, skipped by every
// scan of a folder (in any case).
constexpr const char* kScratch = "temp007";
constexpr const char* kRomFolder = "ROM_Files\\";
constexpr const char* kArchiveFolder = "Archived_Files\\";
constexpr const char* kQuarantineFolder = "SMQuarantine\\";
// A backup file is written under its name with this added, then renamed into place; a folder
// scan takes such a file for nothing.
constexpr const char* kTemporarySuffix = ".~sm";

// The folders of one run, each ending in a backslash.
struct Folders {
    std::string backup;  // the RAM databases' (as HotSync Manager names it)
    std::string user;    // the backup folder's parent
    std::string rom;
    std::string archive;
    std::string quarantine;
    std::string scratch;
};
Folders FoldersOf(const std::string& backupFolder);

// The name of a folder entry that no scan may take: the scratch folder, a file being written.
bool Skipped(std::string_view entryName);

// Copies a file over `to` whole or not at all: beside its place first, then renamed in, so a
// copy that fails never leaves a broken file where a good one was.
int32_t CopyWhole(DesktopFiles& files, const std::string& from, const std::string& to);

}  // namespace backup

// NAME before its extension, as the first candidate for `databaseName`.
std::string BackupFileStem(std::string_view databaseName);

// The files of one folder that databases have taken in this run, and the lookup of a
// database's file in it.
class BackupFileNames {
public:
    BackupFileNames(DesktopFiles& files, std::string folder)
        : files_(files), folder_(std::move(folder)) {}

    const std::string& Folder() const { return folder_; }
    // The full path of the file for the database `name` (a resource database: `resource`),
    // without taking it.
    std::string Find(const std::string& name, bool resource);
    // The same, taken for this database for the rest of the run.
    std::string Take(const std::string& name, bool resource);

private:
    bool HoldsDatabase(const std::string& path, const std::string& name);

    DesktopFiles& files_;
    std::string folder_;
    std::map<std::string, std::string> takenBy_;  // file name (upper case) -> database
};
