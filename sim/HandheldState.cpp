#include "sim/HandheldState.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "sim/Bootlet.h"
#include "sim/Handheld.h"
#include "sim/HandheldStore.h"
#include "sim/PrintableText.h"

namespace fs = std::filesystem;

namespace {

// Far more than palmsim and the other tools write; a larger file is something else.
constexpr size_t kMostConfigBytes = 1u << 20;

const char* KindName(fs::file_type type) {
    switch (type) {
        case fs::file_type::regular: return "a regular file";
        case fs::file_type::directory: return "a directory";
        case fs::file_type::symlink: return "a symbolic link";
        case fs::file_type::block: return "a block device";
        case fs::file_type::character: return "a character device";
        case fs::file_type::fifo: return "a FIFO";
        case fs::file_type::socket: return "a socket";
        default: return "of an unknown kind";
    }
}

// What stands at `path`, a symbolic link followed, in words: "a FIFO", "a symbolic link to a
// directory".
std::string Describe(const fs::path& path, fs::file_type target) {
    std::error_code failure;
    const bool link = fs::is_symlink(fs::symlink_status(path, failure));
    return link ? std::string("a symbolic link to ") + KindName(target) : KindName(target);
}

// A state file must be absent or a regular file (a symbolic link to one will do). `present`
// tells which.
bool CheckStateFile(const fs::path& path, bool& present, std::string& error) {
    std::error_code failure;
    const fs::file_status target = fs::status(path, failure);
    if (target.type() == fs::file_type::not_found) {
        // A link to nothing may point at a disk that is not there today: starting blank and
        // replacing the link at the end would lose what it stood for.
        std::error_code ignored;
        if (fs::is_symlink(fs::symlink_status(path, ignored))) {
            error = path.string() + " is a symbolic link to nothing (" +
                    Printable(fs::read_symlink(path, ignored).string()) + ")";
            return false;
        }
        present = false;
        return true;
    }
    if (failure) {
        error = "cannot look at " + path.string() + ": " + failure.message();
        return false;
    }
    if (target.type() != fs::file_type::regular) {
        error = path.string() + " is " + Describe(path, target.type()) + ", not a regular file";
        return false;
    }
    present = true;
    return true;
}

// The state directory must be a directory, or absent with nothing in the way of making it
// when the state is saved; otherwise the whole run's state would be lost then.
bool CheckStateDir(const fs::path& dir, std::string& error) {
    if (dir.empty()) {
        error = "the state directory has no name";
        return false;
    }
    std::error_code failure;
    const fs::file_status status = fs::status(dir, failure);
    if (status.type() == fs::file_type::directory) return true;
    if (status.type() != fs::file_type::not_found) {
        error = failure ? "cannot look at " + dir.string() + ": " + failure.message()
                        : dir.string() + " is " + Describe(dir, status.type()) +
                              ", not a state directory";
        return false;
    }
    std::error_code ignored;
    if (fs::is_symlink(fs::symlink_status(dir, ignored))) {
        error = dir.string() + " is a symbolic link to nothing (" +
                Printable(fs::read_symlink(dir, ignored).string()) + ")";
        return false;
    }
    // Not there yet: the nearest part of the path that exists has to be a directory.
    fs::path existing = fs::absolute(dir, ignored);
    for (;;) {
        const fs::path parent = existing.parent_path();
        if (parent.empty() || parent == existing) return true;
        existing = parent;
        const fs::file_status above = fs::status(existing, failure);
        if (above.type() == fs::file_type::not_found) continue;
        if (above.type() == fs::file_type::directory) return true;
        if (above.type() == fs::file_type::none) {
            error = "cannot look at " + existing.string() + ": " + failure.message();
            return false;
        }
        error = "cannot make the state directory " + dir.string() + ": " + existing.string() +
                " is " + Describe(existing, above.type());
        return false;
    }
}

// At most `most` bytes are taken, and one more to tell that there were more: a file that
// turned into something endless after it was looked at cannot keep the reader going.
bool ReadAtMost(const fs::path& path, size_t most, std::vector<uint8_t>& bytes,
                std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path.string();
        return false;
    }
    bytes.resize(most + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        error = "cannot read " + path.string();
        return false;
    }
    bytes.resize(static_cast<size_t>(in.gcount()));
    return true;
}

bool LoadImage(const fs::path& path, std::vector<uint8_t>& memory, std::string& error) {
    bool present = false;
    if (!CheckStateFile(path, present, error)) return false;
    if (!present) return true;
    std::error_code failure;
    const uintmax_t size = fs::file_size(path, failure);
    if (failure) {
        error = "cannot look at " + path.string() + ": " + failure.message();
        return false;
    }
    if (size != memory.size()) {
        error = path.string() + " holds " + std::to_string(size) + " bytes, the handheld " +
                std::to_string(memory.size());
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadAtMost(path, memory.size(), bytes, error)) return false;
    if (bytes.size() != memory.size()) {
        error = path.string() + " changed while it was read";
        return false;
    }
    memory = std::move(bytes);
    return true;
}

struct StateFile {
    fs::path path;
    const void* data;
    size_t size;
    fs::path target;  // where the bytes go: `path`, or the file its symbolic link leads to
    fs::path temporary;
};

// A state file that is a symbolic link keeps its link: whoever made it wants the state in the
// file behind it (on another disk, shared with a backup), and a plain file put in its place
// would leave that file silently holding an old state.
bool FindTarget(StateFile& file, std::string& error) {
    file.target = file.path;
    std::error_code failure;
    if (!fs::is_symlink(fs::symlink_status(file.path, failure))) return true;
    file.target = fs::canonical(file.path, failure);
    if (!failure) return true;
    std::error_code ignored;
    error =
        file.path.string() + " is a symbolic link to " +
        (failure == std::errc::no_such_file_or_directory ? "nothing" : "what cannot be followed") +
        " (" + Printable(fs::read_symlink(file.path, ignored).string()) + "); it is left as it is";
    return false;
}

// Beside the file, so the rename that follows stays on one file system; beside a link's
// target, in a folder that is not palmsim's, the name says whose it is.
bool WriteTemporary(StateFile& file, std::string& error) {
    fs::path temporary = file.target;
    temporary += file.target == file.path ? ".tmp" : ".palmsim.tmp";
    // A leftover of an earlier run might be a symbolic link, which would carry the write to
    // some other file, or a FIFO, which would hold the write until a reader came; and the
    // exclusive create below makes sure nothing took its place meanwhile.
    std::error_code failure;
    fs::remove(temporary, failure);
    if (failure) {
        error = "cannot remove the leftover " + temporary.string() + ": " + failure.message();
        return false;
    }
    std::FILE* out = std::fopen(temporary.string().c_str(), "wbx");
    if (!out) {
        error = "cannot write " + temporary.string() + ": " + std::strerror(errno);
        return false;
    }
    file.temporary = temporary;
    // A handheld whose only chips are unknown ones has no flash: nothing to hand fwrite.
    const bool written = file.size == 0 || std::fwrite(file.data, 1, file.size, out) == file.size;
    const int writeError = errno;
    const bool flushed = std::fflush(out) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !flushed || !closed) {
        const int cause = !written ? writeError : !flushed ? flushError : errno;
        error = "cannot write " + temporary.string() + ": " + std::strerror(cause);
        return false;
    }
    return true;
}

void RemoveTemporaries(std::vector<StateFile>& files) {
    for (StateFile& file : files) {
        if (file.temporary.empty()) continue;
        std::error_code ignored;
        fs::remove(file.temporary, ignored);
        file.temporary.clear();
    }
}

// A regular file (handheld.conf), a symbolic link followed.
FileStamp StampOf(const fs::path& path, const std::string& name) {
    FileStamp stamp;
    stamp.name = name;
    std::error_code failure;
    if (fs::status(path, failure).type() != fs::file_type::regular) return stamp;
    stamp.present = true;
    stamp.type = fs::file_type::regular;
    stamp.size = fs::file_size(path, failure);
    stamp.written = fs::last_write_time(path, failure);
    return stamp;
}

// An entry of a store folder as it stands there, a symbolic link not followed: what it points
// at may lie outside the folder and is never the store's.
FileStamp EntryStamp(const fs::path& path, const std::string& name) {
    FileStamp stamp;
    stamp.name = name;
    std::error_code failure;
    const fs::file_type type = fs::symlink_status(path, failure).type();
    if (failure || type == fs::file_type::not_found || type == fs::file_type::none) return stamp;
    stamp.present = true;
    stamp.type = type;
    if (type == fs::file_type::symlink) {
        stamp.linkTarget = fs::read_symlink(path, failure);
        return stamp;
    }
    if (type == fs::file_type::regular) stamp.size = fs::file_size(path, failure);
    stamp.written = fs::last_write_time(path, failure);
    return stamp;
}

// The entries of a store folder an event takes (a name starting with '.' is a file still
// being written); a subdirectory is left, with a line in `kept` saying so unless `reported`
// holds it already.
std::vector<FileStamp> FolderStamps(const fs::path& dir, const char* event,
                                    std::vector<std::string>& reported,
                                    std::vector<std::string>& kept) {
    std::vector<FileStamp> stamps;
    std::error_code failure;
    for (fs::directory_iterator it(dir, failure), end; !failure && it != end;
         it.increment(failure)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(".")) continue;
        FileStamp stamp = EntryStamp(it->path(), name);
        if (!stamp.present) continue;
        if (stamp.type == fs::file_type::directory) {
            const std::string line = Printable(it->path().string()) +
                                     " is a directory, not a database; " + event + " leaves it";
            if (std::find(reported.begin(), reported.end(), line) == reported.end()) {
                reported.push_back(line);
                kept.push_back(line);
            }
            continue;
        }
        stamps.push_back(std::move(stamp));
    }
    return stamps;
}

// A later event covers a file as it stands then.
void Merge(std::vector<FileStamp>& into, std::vector<FileStamp> now) {
    for (FileStamp& stamp : now) {
        auto same = std::find_if(into.begin(), into.end(),
                                 [&](const FileStamp& old) { return old.name == stamp.name; });
        if (same != into.end())
            *same = std::move(stamp);
        else
            into.push_back(std::move(stamp));
    }
}

// Whether the file an event took away is still the one it took.
bool Untouched(const fs::path& dir, const std::vector<FileStamp>& taken, const std::string& name) {
    for (const FileStamp& stamp : taken)
        if (stamp.name == name) return EntryStamp(dir / name, name) == stamp;
    return false;
}

bool RemoveTaken(const fs::path& dir, const std::vector<FileStamp>& taken, std::string& error) {
    for (const FileStamp& stamp : taken) {
        if (!Untouched(dir, taken, stamp.name)) continue;
        std::error_code failure;
        fs::remove(dir / stamp.name, failure);
        if (failure) {
            error = "cannot remove " + Printable((dir / stamp.name).string()) + ": " +
                    failure.message();
            return false;
        }
    }
    return true;
}

// The keys that are not palmsim's to decide, from handheld.conf as it stands: the HotSync
// side may have written the user name, and other tools their keys, while palmsim ran. A file
// that cannot be read leaves palmsim's own copy.
void TakeSharedKeys(const fs::path& path, HandheldConfig& config) {
    std::error_code failure;
    if (fs::status(path, failure).type() != fs::file_type::regular) return;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadAtMost(path, kMostConfigBytes, bytes, error) || bytes.size() > kMostConfigBytes)
        return;
    HandheldConfig onDisk = config;
    if (!ReadConfigText(std::string(bytes.begin(), bytes.end()), onDisk, error)) return;
    config.user = onDisk.user;
    config.osVersion = onDisk.osVersion;
    config.otherKeys = onDisk.otherKeys;
}

bool SaveFiles(const std::string& dir, const Handheld& handheld, const std::string& config,
               std::string& error);

}  // namespace

std::vector<std::string> NoteStoreEvent(const std::string& dir, StoreEvent event,
                                        StoreChanges& changes) {
    const HandheldStore store(dir);
    std::vector<std::string> kept;
    if (event == StoreEvent::RamStoreErased) {
        changes.ramStoreErased = true;
        Merge(changes.erasedRam, FolderStamps(store.FolderPath(StoreFolder::Ram),
                                              "the RAM-store erase", changes.reportedLeft, kept));
        changes.configAtErase = StampOf(fs::path(dir) / state_files::kConfig, state_files::kConfig);
    } else {
        Merge(changes.erasedRomAdded,
              FolderStamps(store.FolderPath(StoreFolder::RomAdded), "the flash store's set-up",
                           changes.reportedLeft, kept));
    }
    return kept;
}

bool BootletInstalled(const std::string& dir, const StoreChanges& changes) {
    const HandheldStore store(dir);
    std::vector<StoredDatabase> databases;
    std::vector<DamagedFile> damaged;
    std::string error;
    if (!store.List(StoreFolder::Ram, databases, damaged, error)) return false;
    for (const StoredDatabase& stored : databases) {
        if (!IsBootlet(stored.database)) continue;
        if (changes.ramStoreErased &&
            Untouched(store.FolderPath(StoreFolder::Ram), changes.erasedRam, stored.fileName))
            continue;
        return true;
    }
    return false;
}

bool LoadStateConfig(const std::string& dir, HandheldConfig& config,
                     std::vector<std::string>& warnings, std::string& error) {
    if (!CheckStateDir(dir, error)) return false;
    const fs::path path = fs::path(dir) / state_files::kConfig;
    bool present = false;
    if (!CheckStateFile(path, present, error)) return false;
    if (!present) return true;
    std::vector<uint8_t> bytes;
    if (!ReadAtMost(path, kMostConfigBytes, bytes, error)) return false;
    if (bytes.size() > kMostConfigBytes) {
        error = path.string() + " is larger than " + std::to_string(kMostConfigBytes) +
                " bytes; it is no configuration file";
        return false;
    }
    const std::string text(bytes.begin(), bytes.end());
    HandheldConfig read = config;
    std::vector<std::string> repeated;
    if (!ReadConfigText(text, read, error, &repeated)) {
        error = path.string() + ", " + error;
        return false;
    }
    for (const auto& [key, value] : read.otherKeys)
        warnings.push_back(path.string() + ": unknown key '" + Printable(key) + "', kept as it is");
    for (const std::string& line : repeated) warnings.push_back(path.string() + ": " + line);
    config = std::move(read);
    return true;
}

bool LoadStateMemory(const std::string& dir, Handheld& handheld, std::string& error) {
    return LoadImage(fs::path(dir) / state_files::kFlash, handheld.Memory().Flash(), error) &&
           LoadImage(fs::path(dir) / state_files::kRam, handheld.Memory().Ram(), error);
}

bool SaveState(const std::string& dir, const Handheld& handheld, std::string& error) {
    StoreChanges none;
    return SaveState(dir, handheld, none, error);
}

bool SaveState(const std::string& dir, const Handheld& handheld, StoreChanges& changes,
               std::string& error) {
    HandheldConfig config = handheld.Config();
    const fs::path configPath = fs::path(dir) / state_files::kConfig;
    TakeSharedKeys(configPath, config);
    if (changes.ramStoreErased &&
        StampOf(configPath, state_files::kConfig) == changes.configAtErase)
        config.user.clear();
    if (!SaveFiles(dir, handheld, WriteConfigText(config), error)) return false;
    const HandheldStore store(dir);
    if (!RemoveTaken(store.FolderPath(StoreFolder::Ram), changes.erasedRam, error) ||
        !RemoveTaken(store.FolderPath(StoreFolder::RomAdded), changes.erasedRomAdded, error)) {
        error = "flash.bin, ram.bin and handheld.conf are saved, but " + error;
        return false;
    }
    StoreChanges done;
    done.reportedLeft = std::move(changes.reportedLeft);
    changes = std::move(done);
    return true;
}

namespace {

bool SaveFiles(const std::string& dir, const Handheld& handheld, const std::string& config,
               std::string& error) {
    if (dir.empty()) {
        error = "the state directory has no name";
        return false;
    }
    std::error_code failure;
    fs::create_directories(dir, failure);
    if (failure || !fs::is_directory(dir, failure)) {
        error = "cannot make the state directory " + dir + ": " +
                (failure ? failure.message() : "something else stands there");
        return false;
    }
    const std::vector<uint8_t>& flash = handheld.Memory().Flash();
    const std::vector<uint8_t>& ram = handheld.Memory().Ram();
    std::vector<StateFile> files = {
        {fs::path(dir) / state_files::kFlash, flash.data(), flash.size(), {}, {}},
        {fs::path(dir) / state_files::kRam, ram.data(), ram.size(), {}, {}},
        {fs::path(dir) / state_files::kConfig, config.data(), config.size(), {}, {}},
    };
    // A directory or device where a state file belongs is somebody's doing: it is not
    // replaced, and the save fails before anything is written.
    for (StateFile& file : files) {
        if (!FindTarget(file, error)) return false;
        const fs::file_type type = fs::status(file.target, failure).type();
        if (type != fs::file_type::not_found && type != fs::file_type::regular && !failure) {
            error = file.path.string() + " is " + Describe(file.path, type) +
                    ", not a regular file; it is left as it is";
            return false;
        }
    }
    for (StateFile& file : files) {
        if (!WriteTemporary(file, error)) {
            RemoveTemporaries(files);
            return false;
        }
    }
    for (StateFile& file : files) {
        fs::rename(file.temporary, file.target, failure);
        if (failure) {
            error = "cannot replace " + file.target.string() + ": " + failure.message();
            if (&file != &files.front()) error += " (the files before it were replaced)";
            RemoveTemporaries(files);
            return false;
        }
        file.temporary.clear();
    }
    return true;
}

}  // namespace
