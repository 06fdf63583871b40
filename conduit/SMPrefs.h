// The conduit's settings, class CSMPrefs, kept in "SM2.prf" in the HotSync user's folder in
// the object archive format of the platform's class library: a new-class tag 0xFFFF, the
// schema number, the class name "CSMPrefs" with its length, then the fields in the order
// below. Only the virus scanning uses the values; the fields nothing here gives a meaning to
// ("carried") are read and written back unchanged. Schema 0x0100 holds the fields up to
// expansionCard, 0x0101 those up to listC, 0x0102 all; a file's missing fields keep their
// defaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class DesktopFiles;

struct CSMPrefs {
    uint32_t wordA = 1;                              // carried
    uint32_t wordB = 0;                              // carried
    std::vector<std::string> listA;                  // carried
    uint32_t removeDuplicates = 0;                   // of the built-in applications
    uint32_t optionC = 0;                            // carried
    uint32_t expansionCard = 0;                      // back up expansion cards
    uint32_t excludeAvantGo = 0;                     // exclude AvantGo documents
    uint32_t optionD = 0, optionE = 0, optionF = 0;  // carried
    std::vector<std::string> listB;                  // carried
    uint32_t valueG = 0, valueH = 0;                 // carried
    std::vector<std::string> listC;                  // carried
    uint32_t virusScanning = 0;
    uint32_t quarantineInfected = 0;   // move infected files to the quarantine folder
    uint32_t removeInfected = 0;       // remove infected databases from the handheld
    uint32_t valueI = 0;               // carried
    uint32_t autoUpdate = 1;           // update the virus scanners automatically
    uint32_t updateInterval = 604800;  // seconds
    uint32_t lastUpdate = 10;          // seconds since 1970-01-01
    uint32_t useProxy = 0;
    uint32_t valueJ = 0;  // carried
    std::string proxyHost;
    std::string textK;  // carried
    std::string proxyPort;
    std::string textL;  // carried

    bool operator==(const CSMPrefs&) const = default;
};

namespace smprefs {
constexpr const char* kFileName = "SM2.prf";
constexpr const char* kClassName = "CSMPrefs";
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kSchemaRows6 = 0x0100;
constexpr uint16_t kSchemaRows14 = 0x0101;
constexpr uint16_t kSchema = 0x0102;  // what is written
}  // namespace smprefs

// Reads one archived CSMPrefs from `size` bytes. False, with `error` saying why, for bytes
// that are not one in a known schema (cut short, another class, a count or length that runs
// past the bytes); `prefs` is then left as it was. Never reads outside the bytes.
bool ReadSMPrefs(const uint8_t* data, size_t size, CSMPrefs& prefs, std::string& error);
// The archive of `prefs` in the schema written (kSchema).
std::vector<uint8_t> WriteSMPrefs(const CSMPrefs& prefs);

enum class SMPrefsLoad {
    Loaded,
    Missing,     // no file (or none that opens): the defaults
    Unreadable,  // a file that is no settings archive: the defaults, and it stays as it is
};
// The settings of the user's folder `userFolder` (a trailing backslash is dropped first).
SMPrefsLoad LoadSMPrefs(DesktopFiles& files, const std::string& userFolder, CSMPrefs& prefs,
                        std::string& error);
// Writes the settings file whole beside its place and renames it in: 0 on success, 1 when it
// cannot be written (the previous file stays).
int32_t SaveSMPrefs(DesktopFiles& files, const std::string& userFolder, const CSMPrefs& prefs);
