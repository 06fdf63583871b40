#include "sim/HandheldStore.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kConfigFile = "handheld.conf";
// Far more than any tool writes there; a larger file is something else.
constexpr size_t kMostConfigBytes = 1u << 20;
// Files a folder holds under one database's file name before a writer gives up.
constexpr int kMostNameTwins = 999;

// Characters no file name may hold on the desktop, and those that would change what a name
// means to a shell or to the folder listing ('.' and blanks at a name's end vanish on
// Windows).
bool Replaced(char c) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x20 || byte >= 0x7F) return true;
    return std::string_view("\\/*?\"<>|. :").find(c) != std::string_view::npos;
}

// Windows opens these as devices, whatever extension follows.
bool IsDeviceName(std::string_view stem) {
    std::string upper(stem);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (upper == device) return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

// A name for a file being written that no other writer picks at the same moment.
std::string UniqueSuffix() {
    static std::atomic<uint32_t> counter{0};
    uint64_t value =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    value ^= uint64_t{counter++} << 48;
    try {
        std::random_device device;
        value ^= uint64_t{device()} << 16;
    } catch (const std::exception&) {
        // The clock and the counter alone keep this process's names apart.
    }
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// At most `most` bytes, and one more to tell that there were more. Read a piece at a time:
// databases are small, and the limit is only there for files that are not.
bool ReadAtMost(const fs::path& path, size_t most, std::vector<uint8_t>& bytes,
                std::string& error) {
    constexpr size_t kPiece = 64 * 1024;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path.string();
        return false;
    }
    bytes.clear();
    while (in && bytes.size() <= most) {
        const size_t had = bytes.size();
        bytes.resize(had + std::min(kPiece, most + 1 - had));
        in.read(reinterpret_cast<char*>(bytes.data() + had),
                static_cast<std::streamsize>(bytes.size() - had));
        bytes.resize(had + static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        error = "cannot read " + path.string();
        return false;
    }
    return true;
}

// What may be read: a regular file, or a symbolic link to one. `present` tells whether there
// is anything at all.
bool CheckReadable(const fs::path& path, bool& present, std::string& error) {
    std::error_code failure;
    const fs::file_status status = fs::status(path, failure);
    present = status.type() != fs::file_type::not_found;
    if (!present) {
        std::error_code ignored;
        if (!fs::is_symlink(fs::symlink_status(path, ignored))) return true;
        error = path.string() + " is a symbolic link to nothing";
        return false;
    }
    if (failure) {
        error = "cannot look at " + path.string() + ": " + failure.message();
        return false;
    }
    if (status.type() != fs::file_type::regular) {
        error = path.string() + " is not a regular file";
        return false;
    }
    return true;
}

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The entries of a folder; none when it does not exist.
bool FolderFiles(const fs::path& dir, std::vector<fs::path>& files, std::string& error) {
    files.clear();
    std::error_code failure;
    const fs::file_status status = fs::status(dir, failure);
    if (status.type() == fs::file_type::not_found) return true;
    if (status.type() != fs::file_type::directory) {
        error = dir.string() + " is not a directory";
        return false;
    }
    for (fs::directory_iterator it(dir, failure), end; !failure && it != end;
         it.increment(failure)) {
        files.push_back(it->path());
    }
    if (failure) {
        error = "cannot list " + dir.string() + ": " + failure.message();
        return false;
    }
    return true;
}

}  // namespace

const char* FolderName(StoreFolder folder) {
    switch (folder) {
        case StoreFolder::Ram: return "ram";
        case StoreFolder::Rom: return "rom";
        case StoreFolder::RomAdded: return "rom-added";
        case StoreFolder::Install: return "install";
    }
    return "ram";
}

bool ParseFolderName(std::string_view text, StoreFolder& folder) {
    for (StoreFolder each : kStoreFolders) {
        if (text == FolderName(each)) {
            folder = each;
            return true;
        }
    }
    return false;
}

std::string DatabaseFileName(const PalmDatabase& database) {
    std::string stem = database.Name();
    for (char& c : stem)
        if (Replaced(c)) c = '_';
    if (stem.empty() || IsDeviceName(stem)) stem += '_';
    return stem + (database.IsResourceDatabase() ? ".PRC" : ".PDB");
}

bool ReadDatabaseFile(const fs::path& path, PalmDatabase& database, std::vector<std::string>* notes,
                      std::string& error) {
    bool present = false;
    if (!CheckReadable(path, present, error)) return false;
    if (!present) {
        error = path.string() + " does not exist";
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadAtMost(path, palmdb::kMostFileBytes, bytes, error)) return false;
    if (!ReadPalmDatabase(bytes.data(), bytes.size(), database, error, notes)) {
        error = path.string() + ": " + error;
        return false;
    }
    return true;
}

bool ReplaceFile(const fs::path& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const fs::path temporary =
        path.parent_path() / ("." + path.filename().string() + "." + UniqueSuffix() + ".tmp");
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    std::error_code failure;
    if (!out) {
        fs::remove(temporary, failure);
        error = "cannot write " + temporary.string();
        return false;
    }
    fs::rename(temporary, path, failure);
    if (failure) {
        error = "cannot replace " + path.string() + ": " + failure.message();
        fs::remove(temporary, failure);
        return false;
    }
    return true;
}

bool HandheldStore::List(StoreFolder folder, std::vector<StoredDatabase>& databases,
                         std::vector<DamagedFile>& damaged, std::string& error) const {
    databases.clear();
    damaged.clear();
    const fs::path dir = FolderPath(folder);
    std::vector<fs::path> files;
    if (!FolderFiles(dir, files, error)) return false;
    std::error_code failure;
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        // A name this code page cannot show (Windows) is no reason to lose the folder.
        try {
            const std::string fileName = path.filename().string();
            if (fileName.starts_with(".")) continue;
            StoredDatabase stored;
            stored.fileName = fileName;
            std::string problem;
            if (!ReadDatabaseFile(path, stored.database, &stored.notes, problem)) {
                damaged.push_back({fileName, problem});
                continue;
            }
            stored.fileSize = fs::file_size(path, failure);
            databases.push_back(std::move(stored));
        } catch (const std::exception&) {
            damaged.push_back({"?", "a file name that cannot be shown in this code page"});
        }
    }
    return true;
}

StoreStatus HandheldStore::Read(StoreFolder folder, std::string_view name, PalmDatabase& database,
                                std::string& error) const {
    std::vector<StoredDatabase> databases;
    std::vector<DamagedFile> damaged;
    if (!List(folder, databases, damaged, error)) return StoreStatus::Failed;
    for (StoredDatabase& stored : databases) {
        if (stored.database.Name() != name) continue;
        database = std::move(stored.database);
        return StoreStatus::Ok;
    }
    error = "no database " + std::string(name) + " in " + FolderPath(folder).string();
    return StoreStatus::NotFound;
}

bool HandheldStore::Write(StoreFolder folder, const PalmDatabase& database, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!WritePalmDatabase(database, bytes, error)) return false;
    std::vector<StoredDatabase> databases;
    std::vector<DamagedFile> damaged;
    if (!List(folder, databases, damaged, error)) return false;
    std::vector<std::string> holders;
    for (const StoredDatabase& stored : databases)
        if (stored.database.Name() == database.Name()) holders.push_back(stored.fileName);

    const fs::path dir = FolderPath(folder);
    std::error_code failure;
    fs::create_directories(dir, failure);
    if (failure) {
        error = "cannot make " + dir.string() + ": " + failure.message();
        return false;
    }
    // Another database's file, or anything else, under the wanted name keeps its place: two
    // names the file names cannot tell apart ("a.b" and "a_b") are two databases.
    const std::string wanted = DatabaseFileName(database);
    const size_t dot = wanted.rfind('.');
    std::string target;
    for (int n = 1; n <= kMostNameTwins && target.empty(); ++n) {
        const std::string candidate =
            n == 1 ? wanted : wanted.substr(0, dot) + "_" + std::to_string(n) + wanted.substr(dot);
        const bool taken =
            fs::symlink_status(dir / candidate, failure).type() != fs::file_type::not_found;
        if (Holds(holders, candidate) || !taken) target = candidate;
    }
    if (target.empty()) {
        error = "no free file name for " + database.Name() + " in " + dir.string();
        return false;
    }
    if (!ReplaceFile(dir / target, bytes, error)) return false;
    for (const std::string& holder : holders) {
        if (holder == target) continue;
        fs::remove(dir / holder, failure);
        if (failure) {
            error = "written as " + (dir / target).string() + ", but its old file " + holder +
                    " could not be removed: " + failure.message();
            return false;
        }
    }
    return true;
}

StoreStatus HandheldStore::Remove(StoreFolder folder, std::string_view name, std::string& error) {
    std::vector<StoredDatabase> databases;
    std::vector<DamagedFile> damaged;
    if (!List(folder, databases, damaged, error)) return StoreStatus::Failed;
    bool found = false;
    for (const StoredDatabase& stored : databases) {
        if (stored.database.Name() != name) continue;
        found = true;
        std::error_code failure;
        fs::remove(FolderPath(folder) / stored.fileName, failure);
        if (failure) {
            error = "cannot remove " + (FolderPath(folder) / stored.fileName).string() + ": " +
                    failure.message();
            return StoreStatus::Failed;
        }
    }
    if (!found) {
        error = "no database " + std::string(name) + " in " + FolderPath(folder).string();
        return StoreStatus::NotFound;
    }
    return StoreStatus::Ok;
}

bool HandheldStore::Clear(StoreFolder folder, std::string& error) {
    const fs::path dir = FolderPath(folder);
    std::vector<fs::path> files;
    if (!FolderFiles(dir, files, error)) return false;
    std::error_code failure;
    bool cleared = true;
    for (const fs::path& path : files) {
        if (path.filename().string().starts_with(".")) continue;
        if (fs::is_directory(fs::symlink_status(path, failure))) continue;
        fs::remove(path, failure);
        if (failure && cleared) {
            error = "cannot remove " + path.string() + ": " + failure.message();
            cleared = false;
        }
    }
    return cleared;
}

bool HandheldStore::ReadConfig(std::string& text, std::string& error) const {
    const fs::path path = dir_ / kConfigFile;
    bool present = false;
    if (!CheckReadable(path, present, error)) return false;
    text.clear();
    if (!present) return true;
    std::vector<uint8_t> bytes;
    if (!ReadAtMost(path, kMostConfigBytes, bytes, error)) return false;
    if (bytes.size() > kMostConfigBytes) {
        error = path.string() + " is larger than " + std::to_string(kMostConfigBytes) +
                " bytes; it is no configuration file";
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

bool HandheldStore::WriteConfigValue(const char* key, const std::string& value,
                                     std::string& error) {
    std::string text;
    if (!ReadConfig(text, error)) return false;
    const std::string changed = WithConfigValue(text, key, value);
    std::error_code failure;
    fs::create_directories(dir_, failure);
    if (failure) {
        error = "cannot make " + dir_.string() + ": " + failure.message();
        return false;
    }
    return ReplaceFile(dir_ / kConfigFile, std::vector<uint8_t>(changed.begin(), changed.end()),
                       error);
}

bool HandheldStore::ReadUser(std::string& user, std::string& error) const {
    std::string text;
    if (!ReadConfig(text, error)) return false;
    std::string value;
    if (!ConfigValue(text, config_keys::kUser, value)) value.clear();
    if (const std::string problem = CheckUserName(value); !problem.empty()) {
        error = (dir_ / kConfigFile).string() + ": " + problem;
        return false;
    }
    user = value;
    return true;
}

bool HandheldStore::WriteUser(std::string_view user, std::string& error) {
    if (const std::string problem = CheckUserName(user); !problem.empty()) {
        error = problem;
        return false;
    }
    return WriteConfigValue(config_keys::kUser, std::string(user), error);
}

bool HandheldStore::ReadOsVersion(OsVersion& version, std::string& error) const {
    std::string text;
    if (!ReadConfig(text, error)) return false;
    std::string value;
    if (!ConfigValue(text, config_keys::kOsVersion, value)) {
        version = OsVersion{};
        return true;
    }
    if (!ParseOsVersion(value, version)) {
        error =
            (dir_ / kConfigFile).string() + ": the OS version '" + value + "' is not major.minor";
        return false;
    }
    return true;
}

bool HandheldStore::WriteOsVersion(OsVersion version, std::string& error) {
    if (version.major == 0 || version.major > 999 || version.minor > 999) {
        error = "an OS version is major.minor, 1.0 to 999.999";
        return false;
    }
    return WriteConfigValue(config_keys::kOsVersion, FormatOsVersion(version), error);
}
