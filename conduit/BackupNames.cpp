#include "conduit/BackupNames.h"

#include <algorithm>
#include <vector>

#include "base/Text.h"
#include "conduit/DesktopFiles.h"

namespace {

bool Replaced(unsigned char c) {
    static constexpr std::string_view kReplaced = "\\/*?\"<>|. :";
    return c < 0x20 || kReplaced.find(static_cast<char>(c)) != std::string_view::npos;
}

// Names Windows takes for its devices, whatever the extension: a backup written there would
// go to the device and be lost.
bool IsDeviceName(std::string_view stem) {
    static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    const std::string upper = UpperCase(stem);
    if (std::find(std::begin(kDevices), std::end(kDevices), upper) != std::end(kDevices))
        return true;
    return upper.size() == 4 && (upper.rfind("COM", 0) == 0 || upper.rfind("LPT", 0) == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

std::string Parent(const std::string& folder) {
    // "C:\Users\Ann\BACKUP\" -> "C:\Users\Ann\"
    const size_t end = folder.find_last_not_of('\\');
    if (end == std::string::npos) return folder;
    const size_t slash = folder.rfind('\\', end);
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

}  // namespace

namespace backup {

Folders FoldersOf(const std::string& backupFolder) {
    Folders f;
    f.backup = backupFolder;
    if (!f.backup.empty() && f.backup.back() != '\\') f.backup += '\\';
    f.user = Parent(f.backup);
    f.rom = f.user + kRomFolder;
    f.archive = f.user + kArchiveFolder;
    f.quarantine = f.user + kQuarantineFolder;
    f.scratch = f.backup + kScratch;
    return f;
}

bool Skipped(std::string_view entryName) {
    const std::string_view suffix = kTemporarySuffix;
    return CompareTextIgnoreCase(entryName, kScratch) == 0 ||
           (entryName.size() >= suffix.size() &&
            CompareTextIgnoreCase(entryName.substr(entryName.size() - suffix.size()), suffix) == 0);
}

int32_t CopyWhole(DesktopFiles& files, const std::string& from, const std::string& to) {
    const std::string temporary = to + kTemporarySuffix;
    int32_t error = files.Copy(from, temporary);
    if (error == 0) error = files.Replace(temporary, to);
    if (error != 0) files.Delete(temporary);
    return error;
}

}  // namespace backup

std::string BackupFileStem(std::string_view databaseName) {
    std::string stem(databaseName);
    for (char& c : stem)
        if (Replaced(static_cast<unsigned char>(c))) c = '_';
    if (IsDeviceName(stem)) stem += '_';
    return stem;
}

std::string BackupFileNames::Find(const std::string& name, bool resource) {
    const std::string stem = BackupFileStem(name);
    const char* extension = resource ? ".PRC" : ".PDB";
    for (int n = 1;; ++n) {
        std::string file = stem;
        if (n > 1) file.append("_").append(std::to_string(n));
        file += extension;
        const auto taken = takenBy_.find(UpperCase(file));
        if (taken != takenBy_.end()) {
            if (taken->second == name) return folder_ + file;
            continue;
        }
        const std::string path = folder_ + file;
        if (HoldsDatabase(path, name)) return path;
    }
}

std::string BackupFileNames::Take(const std::string& name, bool resource) {
    std::string path = Find(name, resource);
    takenBy_[UpperCase(path.substr(folder_.size()))] = name;
    return path;
}

// Absent, or holding this database: the file is the database's.
bool BackupFileNames::HoldsDatabase(const std::string& path, const std::string& name) {
    std::vector<uint8_t> head;
    if (files_.ReadHead(path, 32, head) != 0) return !files_.IsDirectory(path);
    const auto end = std::find(head.begin(), head.end(), uint8_t{0});
    return std::string(head.begin(), end) == name;
}
