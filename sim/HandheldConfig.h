// What a simulated handheld is made of (flash chips, RAM, hardware id, battery, loader) and
// which faults it shows on this run, with the text forms used by palmsim's options and by the
// state directory's configuration file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/Commands.h"

enum class HandheldMode : uint8_t {
    RomDebugger,  // reset with the page-down key held: only the debugger answers
    Loader,       // Bootlet runs and answers the loader commands
    Os,           // the handheld's own OS runs: nothing answers on the serial line
};

struct ChipCode {
    uint16_t manufacturer = 0;
    uint16_t device = 0;
    bool operator==(const ChipCode&) const = default;
};

// Faults belong to a run, not to the handheld: they are never written to the state directory.
struct FaultConfig {
    double corruptIn = 0;             // fraction of the desktop's bytes altered on their way in
    double corruptOut = 0;            // fraction of reply bytes altered
    double dropIn = 0;                // fraction of the desktop's bytes lost
    double dropOut = 0;               // fraction of reply bytes lost
    double staleReplies = 0;          // fraction of replies preceded by a copy with the previous id
    uint32_t delayMs = 0;             // extra time before every reply leaves
    bool silentLoader = false;        // the loader runs but never answers
    uint32_t hangUpAfterPackets = 0;  // the line goes dead after this many packets; 0 never
    std::vector<uint32_t> stuckBlocks;  // flash offsets whose erase block ignores programming
    uint64_t seed = 1;
};

// The OS the handheld runs, as major.minor ("3.5"); the HotSync side goes by the major version.
struct OsVersion {
    uint16_t major = 3;
    uint16_t minor = 5;
    bool operator==(const OsVersion&) const = default;
};

// One 4 MiB chip unless a handheld says otherwise.
constexpr ChipCode kDefaultChip{0x89, 0x8897};

struct HandheldConfig {
    // Made from one value rather than from a braced list, whose hidden array GCC 12 at -O3
    // takes for uninitialised wherever a config is built inline.
    std::vector<ChipCode> chips = std::vector<ChipCode>(1, kDefaultChip);
    uint32_t flashBase = 0x10C00000;  // as the loader reports it; 0 lets the chip size decide
    uint16_t hardwareId = 10;
    uint8_t battery = 80;
    uint16_t loaderVersion = 32;
    uint16_t loaderWord2 = 0;
    uint32_t ramSize = 0x100000;
    HandheldMode mode = HandheldMode::RomDebugger;
    uint32_t lineSpeed = kConnectLineSpeed;
    // Whose handheld it is; empty once the RAM store has been erased. Kept by the HotSync side.
    std::string user;
    OsVersion osVersion;
    // Keys of the configuration file that other tools keep there; written back unchanged.
    std::vector<std::pair<std::string, std::string>> otherKeys;
    FaultConfig faults;
};

// The speed both the ROM debugger and a freshly started loader listen at.
constexpr uint32_t kResetLineSpeed = kConnectLineSpeed;
// Speeds the loader agrees to switch to.
bool IsSupportedLineSpeed(uint32_t bps);

// Where the flash really sits: the reported base, or for a reported 0 the address the
// desktop assumes (above 8 MiB-1 bytes in chip 0: 0x11000000, else 0x10C00000).
uint32_t EffectiveFlashBase(const HandheldConfig& config);
// Where RAM sits for the configured hardware id (an unknown id puts it at 0).
uint32_t EffectiveRamBase(const HandheldConfig& config);
// Bytes of flash the chips provide; a chip the tables do not know adds none.
uint32_t FlashTotal(const HandheldConfig& config);

// Empty when the handheld can be built; otherwise what is wrong with it.
std::string ValidateConfig(const HandheldConfig& config);

// Numbers as written on a command line: decimal, 0x hexadecimal, an optional K or M suffix.
bool ParseNumber(std::string_view text, uint64_t& value);
// "0x89:0x8897,0x89:0x8897"
bool ParseChipList(std::string_view text, std::vector<ChipCode>& chips, std::string& error);
std::string FormatChipList(const std::vector<ChipCode>& chips);
// One fault: corrupt=F, corrupt-in=F, corrupt-out=F, drop=F, drop-in=F, drop-out=F,
// stale[=F], delay=MS, silent-loader, hangup=N, stuck-block=OFFSET. Adds to `faults`.
bool ParseFault(std::string_view text, FaultConfig& faults, std::string& error);
const char* FaultHelp();

bool ParseMode(std::string_view text, HandheldMode& mode);
const char* ModeName(HandheldMode mode);

// "3.5": a major version from 1 and a minor version, each up to three digits.
bool ParseOsVersion(std::string_view text, OsVersion& version);
std::string FormatOsVersion(OsVersion version);
// Empty when `name` can be a user name: up to 63 bytes (the HotSync side's field holds 64 with
// the NUL), no control characters, no blank at either end (the file's lines are trimmed).
std::string CheckUserName(std::string_view name);

// The configuration file: one "key=value" a line, '#' starts a comment line.
namespace config_keys {
constexpr const char* kUser = "user";
constexpr const char* kOsVersion = "os-version";
}  // namespace config_keys
std::string WriteConfigText(const HandheldConfig& config);
// A key given on more than one line takes the value of its last line (an unknown key keeps
// every line); each repetition gets a line in `warnings`, naming the key and both lines.
bool ReadConfigText(std::string_view text, HandheldConfig& config, std::string& error,
                    std::vector<std::string>* warnings = nullptr);
// One key of the file's text, for tools that change a key and must keep every other line as
// it is (including keys they do not know or cannot read): the value of its last line (the
// one that counts) or false when it has none, and the text with that key set to `value` on
// each of its lines, or on a line added at the end.
bool ConfigValue(std::string_view text, std::string_view key, std::string& value);
std::string WithConfigValue(std::string_view text, std::string_view key, std::string_view value);
