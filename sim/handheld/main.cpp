// handheld: a simulated handheld's state directory from the desktop. Makes one from database
// files, lists its databases, dumps one of them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/ByteOrder.h"
#include "sim/HandheldConfig.h"
#include "sim/HandheldStore.h"
#include "sim/PalmDatabase.h"
#include "sim/PrintableText.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: handheld create DIR [--user NAME] [--os-version M.N] [--ram SOURCE]...\n"
    "                           [--rom SOURCE]... [--rom-added SOURCE]... [--install SOURCE]...\n"
    "       handheld list DIR\n"
    "       handheld dump DIR NAME [--folder FOLDER]\n"
    "       handheld dump FILE\n"
    "\n"
    "A simulated handheld's state directory (palmsim --state DIR) as the HotSync side sees\n"
    "it: the databases of its RAM (ram/), of its flash ROM (rom/: built in; rom-added/: added\n"
    "by the user), the files queued for installation at the next HotSync (install/), each a\n"
    "Palm database file (.PDB records, .PRC resources), and in handheld.conf its user name\n"
    "and OS version.\n"
    "\n"
    "create   makes DIR, which must not exist or be empty, with a handheld.conf holding the\n"
    "         user (none when not given), the OS version (3.5 when not given) and palmsim's\n"
    "         defaults, the handheld running its OS (mode=os), and puts\n"
    "         each SOURCE (a database file, or a folder whose files all are) into the folder\n"
    "         the option names. A database keeps its name in the folder, so two with one\n"
    "         name are refused; files for install/ keep their file names. Nothing is made\n"
    "         when a file is not a database.\n"
    "list     the user, the OS version, then one line per database: folder, type, creator,\n"
    "         attributes, records (or resources), file size in bytes and name; a file that\n"
    "         holds no database is named with what is wrong with it.\n"
    "dump     one database: every header field, the AppInfo and SortInfo blocks, and each\n"
    "         record or resource with its entry, in hexadecimal. NAME is looked for in ram/,\n"
    "         rom-added/, rom/ and install/; --folder names the one to look in.\n"
    "\n"
    "Exit status: 0 done; 1 when a file or directory cannot be read or written, or holds\n"
    "no database; 2 for usage errors.\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "handheld: %s (see --help)\n", message.c_str());
    return 2;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "handheld: %s\n", message.c_str());
    return 1;
}

// Options of the form --name VALUE or --name=VALUE after the command's fixed arguments.
struct Arguments {
    std::vector<std::string> fixed;
    std::vector<std::pair<std::string, std::string>> options;
};

bool SplitArguments(int argc, char** argv, int first, Arguments& arguments, std::string& error) {
    for (int i = first; i < argc; ++i) {
        std::string name = argv[i];
        if (!name.starts_with("--")) {
            arguments.fixed.push_back(name);
            continue;
        }
        std::string value;
        const size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = name + " needs a value";
            return false;
        }
        if (value.empty()) {
            error = name + " needs a value";
            return false;
        }
        arguments.options.emplace_back(name, value);
    }
    return true;
}

// The database files a source names: the file itself, or every file of a folder.
bool SourceFiles(const fs::path& source, std::vector<fs::path>& files, std::string& error) {
    std::error_code failure;
    const fs::file_status status = fs::status(source, failure);
    if (status.type() == fs::file_type::regular) {
        files.push_back(source);
        return true;
    }
    if (status.type() != fs::file_type::directory) {
        error = source.string() + " is neither a database file nor a folder of them";
        return false;
    }
    std::vector<fs::path> found;
    for (fs::directory_iterator it(source, failure), end; !failure && it != end;
         it.increment(failure)) {
        if (!it->path().filename().string().starts_with(".")) found.push_back(it->path());
    }
    if (failure) {
        error = "cannot list " + source.string() + ": " + failure.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return true;
}

struct Placed {
    StoreFolder folder;
    fs::path file;
    PalmDatabase database;
};

int Create(int argc, char** argv) {
    Arguments arguments;
    std::string error;
    if (!SplitArguments(argc, argv, 2, arguments, error)) return Usage(error);
    if (arguments.fixed.size() != 1) return Usage("create takes one state directory");
    const fs::path dir = arguments.fixed[0];
    // A handheld in daily use, running its OS; palmsim's --mode starts it otherwise.
    HandheldConfig config;
    config.mode = HandheldMode::Os;
    std::vector<std::pair<StoreFolder, fs::path>> sources;
    bool userGiven = false;
    bool versionGiven = false;
    for (const auto& [name, value] : arguments.options) {
        StoreFolder folder{};
        if (name == "--user") {
            if (userGiven) return Usage("--user given twice");
            if (const std::string problem = CheckUserName(value); !problem.empty())
                return Usage(problem);
            config.user = value;
            userGiven = true;
        } else if (name == "--os-version") {
            if (versionGiven) return Usage("--os-version given twice");
            if (!ParseOsVersion(value, config.osVersion))
                return Usage("--os-version is major.minor, such as 3.5, not " + value);
            versionGiven = true;
        } else if (name.size() > 2 && ParseFolderName(std::string_view(name).substr(2), folder)) {
            sources.emplace_back(folder, value);
        } else {
            return Usage("unknown option " + name);
        }
    }

    std::error_code failure;
    const fs::file_status status = fs::status(dir, failure);
    if (status.type() == fs::file_type::directory && !fs::is_empty(dir, failure))
        return Failure(dir.string() + " holds something already; create makes a new handheld");
    if (status.type() != fs::file_type::directory && status.type() != fs::file_type::not_found)
        return Failure(dir.string() + " exists and is no directory");

    // Every file is read before anything is made, so a bad one leaves nothing behind.
    std::vector<Placed> placed;
    for (const auto& [folder, source] : sources) {
        std::vector<fs::path> files;
        if (!SourceFiles(source, files, error)) return Failure(error);
        for (const fs::path& file : files) {
            Placed item{folder, file, {}};
            if (!ReadDatabaseFile(file, item.database, nullptr, error)) return Failure(error);
            for (const Placed& other : placed) {
                if (other.folder != folder) continue;
                const bool clash = folder == StoreFolder::Install
                                       ? other.file.filename() == file.filename()
                                       : other.database.Name() == item.database.Name();
                if (clash)
                    return Failure(file.string() + " and " + other.file.string() +
                                   " would take the same place in " + FolderName(folder) + "/");
            }
            placed.push_back(std::move(item));
        }
    }

    const bool made = status.type() == fs::file_type::not_found;
    auto undo = [&] {
        std::error_code ignored;
        if (made) {
            fs::remove_all(dir, ignored);
        } else {
            for (const fs::directory_entry& entry : fs::directory_iterator(dir, ignored))
                fs::remove_all(entry.path(), ignored);
        }
    };
    fs::create_directories(dir, failure);
    if (failure) return Failure("cannot make " + dir.string() + ": " + failure.message());
    HandheldStore store(dir);
    const std::string text = WriteConfigText(config);
    bool written =
        ReplaceFile(dir / "handheld.conf", std::vector<uint8_t>(text.begin(), text.end()), error);
    for (const Placed& item : placed) {
        if (!written) break;
        if (item.folder != StoreFolder::Install) {
            written = store.Write(item.folder, item.database, error);
            continue;
        }
        const fs::path target = store.FolderPath(StoreFolder::Install) / item.file.filename();
        fs::create_directories(target.parent_path(), failure);
        if (!failure) fs::copy_file(item.file, target, failure);
        if (failure) {
            error = "cannot copy " + item.file.string() + " to " + target.string() + ": " +
                    failure.message();
            written = false;
        }
    }
    if (!written) {
        undo();
        return Failure(error);
    }
    std::printf("%s: user '%s', OS %s, %zu database(s)\n", dir.string().c_str(),
                config.user.c_str(), FormatOsVersion(config.osVersion).c_str(), placed.size());
    return 0;
}

int List(int argc, char** argv) {
    if (argc != 3) return Usage("list takes one state directory");
    const fs::path dir = argv[2];
    std::error_code failure;
    if (!fs::is_directory(dir, failure)) return Failure(dir.string() + " is no directory");
    const HandheldStore store(dir);
    std::string error;
    std::string user;
    OsVersion version;
    if (!store.ReadUser(user, error) || !store.ReadOsVersion(version, error)) return Failure(error);
    std::printf("user: %s\nos-version: %s\n", user.c_str(), FormatOsVersion(version).c_str());
    std::printf("%-10s %-4s %-4s %-6s %7s %9s %s\n", "FOLDER", "TYPE", "CRTR", "ATTR", "RECORDS",
                "BYTES", "NAME");
    bool damagedAny = false;
    for (StoreFolder folder : kStoreFolders) {
        std::vector<StoredDatabase> databases;
        std::vector<DamagedFile> damaged;
        if (!store.List(folder, databases, damaged, error)) return Failure(error);
        for (const StoredDatabase& stored : databases) {
            const PalmDatabase& database = stored.database;
            std::printf("%-10s %-4s %-4s 0x%04X %7zu %9llu %s\n", FolderName(folder),
                        palmdb::FourCcText(database.type).c_str(),
                        palmdb::FourCcText(database.creator).c_str(), database.attributes,
                        database.EntryCount(), static_cast<unsigned long long>(stored.fileSize),
                        Printable(database.Name()).c_str());
        }
        for (const DamagedFile& file : damaged) {
            std::printf("%-10s damaged: %s\n", FolderName(folder), Printable(file.error).c_str());
            damagedAny = true;
        }
    }
    return damagedAny ? 1 : 0;
}

// Seconds since 1904 as a date, or what a 0 means.
std::string DateText(uint32_t date) {
    if (date == 0) return "0 (never)";
    using namespace std::chrono;
    const sys_seconds time{seconds{int64_t{date} - int64_t{palmdb::kSeconds1904To1970}}};
    const sys_days day = floor<days>(time);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> clock{time - day};
    char text[64];
    std::snprintf(text, sizeof text, "%u (%04d-%02u-%02u %02ld:%02ld:%02ld UTC)", date,
                  static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<long>(clock.hours().count()),
                  static_cast<long>(clock.minutes().count()),
                  static_cast<long>(clock.seconds().count()));
    return text;
}

std::string AttributeText(uint16_t attributes) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", attributes);
    std::string result = text;
    const std::pair<uint16_t, const char*> named[] = {{palmdb::kResourceDatabase, "resource"},
                                                      {palmdb::kReadOnly, "read-only"},
                                                      {palmdb::kOpen, "open"}};
    std::string words;
    for (const auto& [bit, word] : named) {
        if (!(attributes & bit)) continue;
        if (!words.empty()) words += ", ";
        words += word;
    }
    return words.empty() ? result : result + " (" + words + ")";
}

void HexDump(const std::vector<uint8_t>& bytes) {
    for (size_t line = 0; line < bytes.size(); line += 16) {
        std::printf("    %06zX ", line);
        std::string ascii;
        for (size_t i = line; i < line + 16; ++i) {
            if (i < bytes.size()) {
                std::printf(" %02X", bytes[i]);
                ascii += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
            } else {
                std::printf("   ");
            }
        }
        std::printf("  |%s|\n", ascii.c_str());
    }
}

int DumpFile(const fs::path& path) {
    PalmDatabase database;
    std::vector<std::string> notes;
    std::string error;
    if (!ReadDatabaseFile(path, database, &notes, error)) return Failure(error);
    // The offsets as the file holds them: a database read and written again is the same
    // file, so this is what the file says.
    std::vector<uint8_t> bytes;
    WritePalmDatabase(database, bytes, error);
    const uint8_t* header = bytes.data();
    using byteorder::GetBE32;
    std::printf("file: %s (%zu bytes)\n", path.string().c_str(), bytes.size());
    std::printf("name: %s\n", Printable(database.Name()).c_str());
    std::printf("attributes: %s\n", AttributeText(database.attributes).c_str());
    std::printf("version: %u\n", database.version);
    std::printf("creation date: %s\n", DateText(database.creationDate).c_str());
    std::printf("modification date: %s\n", DateText(database.modificationDate).c_str());
    std::printf("backup date: %s\n", DateText(database.backupDate).c_str());
    std::printf("modification number: %u\n", database.modificationNumber);
    std::printf("AppInfo offset: %u\n", GetBE32(header + 52));
    std::printf("SortInfo offset: %u\n", GetBE32(header + 56));
    std::printf("type: %s\n", palmdb::FourCcText(database.type).c_str());
    std::printf("creator: %s\n", palmdb::FourCcText(database.creator).c_str());
    std::printf("unique ID seed: %u\n", database.uniqueIdSeed);
    std::printf("next record list: %u\n", database.nextRecordList);
    std::printf("%s: %zu\n", database.IsResourceDatabase() ? "resources" : "records",
                database.EntryCount());
    std::printf("gap after the entry list: %zu bytes\n", database.gap.size());
    for (const std::string& note : notes) std::printf("note: %s\n", note.c_str());
    if (database.appInfo) {
        std::printf("AppInfo block: %zu bytes\n", database.appInfo->size());
        HexDump(*database.appInfo);
    }
    if (database.sortInfo) {
        std::printf("SortInfo block: %zu bytes\n", database.sortInfo->size());
        HexDump(*database.sortInfo);
    }
    const uint8_t* entry = header + palmdb::kHeaderSize;
    for (size_t i = 0; i < database.resources.size(); ++i) {
        const PalmResource& resource = database.resources[i];
        std::printf("resource %zu: type %s, ID %u, offset %u, %zu bytes\n", i,
                    palmdb::FourCcText(resource.type).c_str(), resource.id,
                    GetBE32(entry + i * palmdb::kResourceEntrySize + 6), resource.data.size());
        HexDump(resource.data);
    }
    for (size_t i = 0; i < database.records.size(); ++i) {
        const PalmRecord& record = database.records[i];
        std::printf(
            "record %zu: offset %u, attributes 0x%02X (category %u), unique ID 0x%06X, "
            "%zu bytes\n",
            i, GetBE32(entry + i * palmdb::kRecordEntrySize), record.attributes,
            record.attributes & palmdb::kCategoryMask, record.uniqueId, record.data.size());
        HexDump(record.data);
    }
    return 0;
}

int Dump(int argc, char** argv) {
    Arguments arguments;
    std::string error;
    if (!SplitArguments(argc, argv, 2, arguments, error)) return Usage(error);
    std::vector<StoreFolder> folders = {StoreFolder::Ram, StoreFolder::RomAdded, StoreFolder::Rom,
                                        StoreFolder::Install};
    for (const auto& [name, value] : arguments.options) {
        StoreFolder folder{};
        if (name != "--folder") return Usage("unknown option " + name);
        if (!ParseFolderName(value, folder))
            return Usage("--folder is ram, rom, rom-added or install, not " + value);
        folders = {folder};
    }
    if (arguments.fixed.size() == 1 && arguments.options.empty())
        return DumpFile(arguments.fixed[0]);
    if (arguments.fixed.size() != 2) return Usage("dump takes a file, or a directory and a name");
    const HandheldStore store(arguments.fixed[0]);
    std::vector<fs::path> found;
    for (StoreFolder folder : folders) {
        std::vector<StoredDatabase> databases;
        std::vector<DamagedFile> damaged;
        if (!store.List(folder, databases, damaged, error)) return Failure(error);
        for (const StoredDatabase& stored : databases)
            if (stored.database.Name() == arguments.fixed[1])
                found.push_back(store.FolderPath(folder) / stored.fileName);
    }
    if (found.empty())
        return Failure("no database " + arguments.fixed[1] + " in " + arguments.fixed[0]);
    if (found.size() > 1) {
        std::string where;
        for (const fs::path& path : found) where += "\n  " + path.string();
        return Failure("more than one database " + arguments.fixed[1] +
                       "; name the folder with --folder:" + where);
    }
    return DumpFile(found.front());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "create") return Create(argc, argv);
    if (command == "list") return List(argc, argv);
    if (command == "dump") return Dump(argc, argv);
    return Usage(command.empty() ? "no command" : "unknown command " + command);
}
