// A simulated handheld's databases and the HotSync side's keys, in its state directory, where
// palmsim (the serial side) and the HotSync stand-ins (the HotSync side) both find them:
//
//   ram/        the databases of the RAM store, one Palm database file each
//   rom/        the flash ROM's built-in databases
//   rom-added/  databases the user added to the flash ROM
//   install/    files queued for installation at the next HotSync
//   handheld.conf  the keys "user" (empty once the RAM store is erased) and "os-version"
//
// A folder holds at most one database of a name, as a card does: a database is found by the
// name in its file, whatever the file is called, and a file written for it is named after it.
// Files are written beside their place and renamed into it, so a reader never meets half a
// file; names starting with '.' (those files while they are written) are never taken for
// databases.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sim/HandheldConfig.h"
#include "sim/PalmDatabase.h"

enum class StoreFolder : uint8_t { Ram, Rom, RomAdded, Install };
constexpr StoreFolder kStoreFolders[] = {StoreFolder::Ram, StoreFolder::Rom, StoreFolder::RomAdded,
                                         StoreFolder::Install};
// "ram", "rom", "rom-added", "install": the folder's name in the state directory.
const char* FolderName(StoreFolder folder);
bool ParseFolderName(std::string_view text, StoreFolder& folder);

// A database file of a folder, read whole.
struct StoredDatabase {
    std::string fileName;  // within its folder
    uint64_t fileSize = 0;
    PalmDatabase database;
    std::vector<std::string> notes;  // what is odd about the file but did not stop its reading
};

// A file of a folder that holds no database that can be read, and why.
struct DamagedFile {
    std::string fileName;
    std::string error;
};

enum class StoreStatus : uint8_t { Ok, NotFound, Failed };

class HandheldStore {
public:
    explicit HandheldStore(std::filesystem::path stateDir) : dir_(std::move(stateDir)) {}
    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path FolderPath(StoreFolder folder) const { return dir_ / FolderName(folder); }

    // Every file of the folder in file-name order, each a database or a damaged file. A
    // folder that does not exist is empty; one that cannot be read fails.
    bool List(StoreFolder folder, std::vector<StoredDatabase>& databases,
              std::vector<DamagedFile>& damaged, std::string& error) const;
    // The database named `name` (the first file in file-name order that holds it).
    StoreStatus Read(StoreFolder folder, std::string_view name, PalmDatabase& database,
                     std::string& error) const;
    // Stores `database` in the folder (made if need be) in place of every file that held a
    // database of its name.
    bool Write(StoreFolder folder, const PalmDatabase& database, std::string& error);
    // Removes every file that holds a database named `name`.
    StoreStatus Remove(StoreFolder folder, std::string_view name, std::string& error);
    // Removes every file of the folder but those being written (as install/ is emptied once
    // its files are installed); damaged files go too.
    bool Clear(StoreFolder folder, std::string& error);

    // The handheld.conf keys. A state directory without the file or the key has no user and
    // the default OS version; writing one keeps every other line of the file as it is.
    bool ReadUser(std::string& user, std::string& error) const;
    bool WriteUser(std::string_view user, std::string& error);
    bool ReadOsVersion(OsVersion& version, std::string& error) const;
    bool WriteOsVersion(OsVersion version, std::string& error);

private:
    bool ReadConfig(std::string& text, std::string& error) const;
    bool WriteConfigValue(const char* key, const std::string& value, std::string& error);

    std::filesystem::path dir_;
};

// The file name a database is stored under: its name with every character that a file name
// may not hold, or that is not printable ASCII, made '_' (a device name such as "CON" gets a
// '_' more), then ".PRC" for a resource database, ".PDB" for a record database.
std::string DatabaseFileName(const PalmDatabase& database);
// Reads one database file. Refuses what is not a regular file (a symbolic link to one will
// do) and a file larger than any handheld holds.
bool ReadDatabaseFile(const std::filesystem::path& path, PalmDatabase& database,
                      std::vector<std::string>* notes, std::string& error);
// Writes `bytes` beside `path` and renames them into its place, replacing what was there.
bool ReplaceFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                 std::string& error);
