#include "sim/HandheldConfig.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "link/FlashChips.h"
#include "sim/PrintableText.h"

namespace {

constexpr uint32_t kSupportedSpeeds[] = {9600, 14400, 19200, 28800, 38400, 57600, 115200, 230400};
// The chip-list reply must fit the 98 bytes the desktop accepts: 6 + 4 per chip.
constexpr size_t kMostChips = 23;
constexpr uint32_t kMostRam = 256u << 20;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

bool ParseFraction(std::string_view text, double& value) {
    if (text.empty() || text.size() > 30) return false;
    const std::string copy(text);
    char* end = nullptr;
    const double parsed = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !(parsed >= 0 && parsed <= 1)) return false;
    value = parsed;
    return true;
}

bool ParseU32(std::string_view text, uint32_t& value) {
    uint64_t parsed = 0;
    if (!ParseNumber(text, parsed) || parsed > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseU16(std::string_view text, uint16_t& value) {
    uint64_t parsed = 0;
    if (!ParseNumber(text, parsed) || parsed > 0xFFFF) return false;
    value = static_cast<uint16_t>(parsed);
    return true;
}

// The number of a version part: 1 to 3 digits, no leading zero.
bool ParseVersionPart(std::string_view text, uint16_t& value) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = static_cast<uint16_t>(value * 10 + (c - '0'));
    }
    return true;
}

// One line of the configuration file: the key and value of a "key=value" line, trimmed.
struct ConfigLine {
    std::string_view key;
    std::string_view value;
    bool assignment = false;  // false for blank lines, comments and lines without '='
};

ConfigLine SplitLine(std::string_view raw) {
    const std::string_view line = Trim(raw);
    ConfigLine split;
    if (line.empty() || line.front() == '#') return split;
    split.key = line;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return split;
    split.key = Trim(line.substr(0, equals));
    split.value = Trim(line.substr(equals + 1));
    split.assignment = true;
    return split;
}

// Calls `each` with every line of `text` (without its '\n') and whether a '\n' ended it.
template <typename Each>
void ForEachLine(std::string_view text, Each each) {
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        each(text.substr(0, newline), newline != std::string_view::npos);
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    }
}

// The keys palmsim reads itself; any other key is another tool's.
constexpr std::string_view kOwnKeys[] = {
    "chips",    "flash-base", "hwid",  "battery",          "loader-version",        "loader-word2",
    "ram-size", "mode",       "speed", config_keys::kUser, config_keys::kOsVersion,
};

bool IsOwnKey(std::string_view key) {
    for (std::string_view own : kOwnKeys)
        if (key == own) return true;
    return false;
}

// Ranges [a, a + na) and [b, b + nb) in 64 bits, so nothing wraps.
bool Overlap(uint64_t a, uint64_t na, uint64_t b, uint64_t nb) {
    return na != 0 && nb != 0 && a < b + nb && b < a + na;
}

}  // namespace

bool IsSupportedLineSpeed(uint32_t bps) {
    for (uint32_t speed : kSupportedSpeeds)
        if (speed == bps) return true;
    return false;
}

uint32_t EffectiveFlashBase(const HandheldConfig& config) {
    if (config.flashBase != 0) return config.flashBase;
    const uint32_t first = config.chips.empty() ? 0
                                                : RecognisedChipSize(config.chips[0].manufacturer,
                                                                     config.chips[0].device);
    return first > 0x7FFFFF ? 0x11000000 : 0x10C00000;
}

uint32_t EffectiveRamBase(const HandheldConfig& config) {
    const uint32_t base = RamBaseForHardwareId(config.hardwareId);
    return base == 0xFFFFFFFF ? 0 : base;
}

uint32_t FlashTotal(const HandheldConfig& config) {
    uint64_t total = 0;
    for (const ChipCode& chip : config.chips)
        total += RecognisedChipSize(chip.manufacturer, chip.device);
    return total > 0xFFFFFFFFull ? 0xFFFFFFFF : static_cast<uint32_t>(total);
}

std::string ValidateConfig(const HandheldConfig& config) {
    if (config.chips.empty()) return "a handheld needs at least one flash chip";
    if (config.chips.size() > kMostChips) return "at most 23 flash chips fit the chip list";
    const uint64_t flashBase = EffectiveFlashBase(config);
    const uint64_t flashTotal = FlashTotal(config);
    if (flashBase + flashTotal > 0x100000000ull) return "the flash runs past the address space";
    if (config.battery > 100) return "the battery percentage is above 100";
    if (config.ramSize == 0 || config.ramSize > kMostRam) return "RAM size must be 1 byte to 256M";
    const uint64_t ramBase = EffectiveRamBase(config);
    if (ramBase + config.ramSize > 0x100000000ull) return "RAM runs past the address space";
    if (Overlap(ramBase, config.ramSize, flashBase, flashTotal) ||
        Overlap(0, config.ramSize, flashBase, flashTotal))
        return "RAM overlaps the flash";
    if (!IsSupportedLineSpeed(config.lineSpeed)) return "unsupported line speed";
    for (uint32_t offset : config.faults.stuckBlocks)
        if (offset >= flashTotal) return "a stuck block lies outside the flash";
    return {};
}

bool ParseNumber(std::string_view text, uint64_t& value) {
    text = Trim(text);
    uint64_t scale = 1;
    if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) scale = 1024;
    if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) scale = 1024 * 1024;
    if (scale != 1) text.remove_suffix(1);
    unsigned radix = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 16) return false;
    uint64_t result = 0;
    for (char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (radix == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        if (digit >= radix) return false;
        result = result * radix + digit;
    }
    if (result > 0xFFFFFFFFull) return false;
    value = result * scale;
    return true;
}

bool ParseChipList(std::string_view text, std::vector<ChipCode>& chips, std::string& error) {
    std::vector<ChipCode> parsed;
    for (bool more = true; more;) {
        const size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        more = comma != std::string_view::npos;
        if (more) text.remove_prefix(comma + 1);
        const size_t colon = item.find(':');
        ChipCode chip;
        if (colon == std::string_view::npos ||
            !ParseU16(item.substr(0, colon), chip.manufacturer) ||
            !ParseU16(item.substr(colon + 1), chip.device)) {
            error =
                "a chip is MANUFACTURER:DEVICE, e.g. 0x89:0x8897, not '" + std::string(item) + "'";
            return false;
        }
        parsed.push_back(chip);
    }
    chips = std::move(parsed);
    return true;
}

std::string FormatChipList(const std::vector<ChipCode>& chips) {
    std::string text;
    for (const ChipCode& chip : chips) {
        if (!text.empty()) text += ',';
        char item[24];
        std::snprintf(item, sizeof item, "0x%02X:0x%04X", chip.manufacturer, chip.device);
        text += item;
    }
    return text;
}

bool ParseFault(std::string_view text, FaultConfig& faults, std::string& error) {
    const size_t equals = text.find('=');
    const std::string_view kind = Trim(text.substr(0, equals));
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view value = hasValue ? Trim(text.substr(equals + 1)) : std::string_view{};
    bool ok = false;
    double fraction = 0;
    if (kind == "corrupt" || kind == "drop" || kind == "corrupt-in" || kind == "corrupt-out" ||
        kind == "drop-in" || kind == "drop-out") {
        ok = hasValue && ParseFraction(value, fraction);
        if (ok) {
            const bool in = kind.find("-out") == std::string_view::npos;
            const bool out = kind.find("-in") == std::string_view::npos;
            const bool corrupt = kind.starts_with("corrupt");
            if (in) (corrupt ? faults.corruptIn : faults.dropIn) = fraction;
            if (out) (corrupt ? faults.corruptOut : faults.dropOut) = fraction;
        }
    } else if (kind == "stale") {
        fraction = 1;
        ok = !hasValue || ParseFraction(value, fraction);
        if (ok) faults.staleReplies = fraction;
    } else if (kind == "delay") {
        ok = hasValue && ParseU32(value, faults.delayMs);
    } else if (kind == "silent-loader") {
        ok = !hasValue;
        faults.silentLoader = true;
    } else if (kind == "hangup") {
        ok = hasValue && ParseU32(value, faults.hangUpAfterPackets) && faults.hangUpAfterPackets;
    } else if (kind == "stuck-block") {
        uint32_t offset = 0;
        ok = hasValue && ParseU32(value, offset);
        if (ok) faults.stuckBlocks.push_back(offset);
    }
    if (!ok) error = "bad fault '" + std::string(text) + "'";
    return ok;
}

const char* FaultHelp() {
    return "  corrupt=F, corrupt-in=F, corrupt-out=F  alter a fraction F (0..1) of the bytes\n"
           "                                          (both ways, from the desktop, to it)\n"
           "  drop=F, drop-in=F, drop-out=F           lose a fraction F of the bytes\n"
           "  stale[=F]                               precede (a fraction F of) the replies\n"
           "                                          by a copy carrying the previous id\n"
           "  delay=MS                                hold every reply back MS milliseconds\n"
           "  silent-loader                           the loader runs but never answers\n"
           "  hangup=N                                the line goes dead after N packets\n"
           "  stuck-block=OFFSET                      the erase block holding this flash\n"
           "                                          offset ignores programming (status 0)\n";
}

bool ParseMode(std::string_view text, HandheldMode& mode) {
    for (HandheldMode m : {HandheldMode::RomDebugger, HandheldMode::Loader, HandheldMode::Os}) {
        if (text == ModeName(m)) {
            mode = m;
            return true;
        }
    }
    return false;
}

const char* ModeName(HandheldMode mode) {
    switch (mode) {
        case HandheldMode::RomDebugger: return "debugger";
        case HandheldMode::Loader: return "loader";
        case HandheldMode::Os: return "os";
    }
    return "debugger";
}

bool ParseOsVersion(std::string_view text, OsVersion& version) {
    const size_t dot = text.find('.');
    OsVersion parsed;
    if (dot == std::string_view::npos || !ParseVersionPart(text.substr(0, dot), parsed.major) ||
        !ParseVersionPart(text.substr(dot + 1), parsed.minor) || parsed.major == 0)
        return false;
    version = parsed;
    return true;
}

std::string FormatOsVersion(OsVersion version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::string CheckUserName(std::string_view name) {
    if (name.size() > 63) return "a user name holds at most 63 bytes";
    for (char c : name) {
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F)
            return "a user name holds no control characters";
    }
    if (!name.empty() && (name.front() == ' ' || name.back() == ' '))
        return "a user name neither starts nor ends with a blank";
    return {};
}

std::string WriteConfigText(const HandheldConfig& config) {
    std::string text = "# The simulated handheld (palmsim). One key=value a line.\n";
    auto line = [&text](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += value;
        text += '\n';
    };
    line("chips", FormatChipList(config.chips));
    line("flash-base", Hex(config.flashBase));
    line("hwid", std::to_string(config.hardwareId));
    line("battery", std::to_string(config.battery));
    line("loader-version", std::to_string(config.loaderVersion));
    line("loader-word2", std::to_string(config.loaderWord2));
    line("ram-size", Hex(config.ramSize));
    line("mode", ModeName(config.mode));
    line("speed", std::to_string(config.lineSpeed));
    line(config_keys::kUser, config.user);
    line(config_keys::kOsVersion, FormatOsVersion(config.osVersion));
    for (const auto& [key, value] : config.otherKeys) line(key.c_str(), value);
    return text;
}

bool ReadConfigText(std::string_view text, HandheldConfig& config, std::string& error,
                    std::vector<std::string>* warnings) {
    HandheldConfig result = config;
    result.otherKeys.clear();
    std::map<std::string_view, int> firstLines;
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        const std::string_view line = Trim(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        ++lineNumber;
        const auto [key, value, assignment] = SplitLine(line);
        if (!assignment && key.empty()) continue;  // blank or comment
        // Whoever edited the first line would otherwise wonder why it does not count.
        if (const auto [first, isNew] = firstLines.emplace(key, lineNumber);
            !isNew && assignment && warnings) {
            warnings->push_back("key '" + Printable(key) + "' on line " +
                                std::to_string(lineNumber) + " was given on line " +
                                std::to_string(first->second) + " already; " +
                                (IsOwnKey(key) ? "the last one counts" : "both are kept"));
        }
        bool ok = assignment;
        uint16_t small = 0;
        if (!ok) {
        } else if (key == "chips") {
            ok = ParseChipList(value, result.chips, error);
        } else if (key == "flash-base") {
            ok = ParseU32(value, result.flashBase);
        } else if (key == "hwid") {
            ok = ParseU16(value, result.hardwareId);
        } else if (key == "battery") {
            ok = ParseU16(value, small) && small <= 100;
            result.battery = static_cast<uint8_t>(small);
        } else if (key == "loader-version") {
            ok = ParseU16(value, result.loaderVersion);
        } else if (key == "loader-word2") {
            ok = ParseU16(value, result.loaderWord2);
        } else if (key == "ram-size") {
            ok = ParseU32(value, result.ramSize);
        } else if (key == "mode") {
            ok = ParseMode(value, result.mode);
        } else if (key == "speed") {
            ok = ParseU32(value, result.lineSpeed);
        } else if (key == config_keys::kUser) {
            ok = CheckUserName(value).empty();
            result.user = std::string(value);
        } else if (key == config_keys::kOsVersion) {
            ok = ParseOsVersion(value, result.osVersion);
        } else {
            result.otherKeys.emplace_back(std::string(key), std::string(value));
        }
        if (!ok) {
            error =
                "line " + std::to_string(lineNumber) + ": cannot read '" + Printable(line) + "'";
            return false;
        }
    }
    config = std::move(result);
    return true;
}

bool ConfigValue(std::string_view text, std::string_view key, std::string& value) {
    bool found = false;
    ForEachLine(text, [&](std::string_view raw, bool) {
        const ConfigLine line = SplitLine(raw);
        if (!line.assignment || line.key != key) return;
        value = std::string(line.value);
        found = true;
    });
    return found;
}

std::string WithConfigValue(std::string_view text, std::string_view key, std::string_view value) {
    std::string result;
    bool found = false;
    bool endsInNewline = true;
    ForEachLine(text, [&](std::string_view raw, bool newline) {
        const ConfigLine line = SplitLine(raw);
        if (line.assignment && line.key == key) {
            result.append(key).append("=").append(value);
            // A line ended by CR LF keeps its CR, so the file keeps one kind of line end.
            if (!raw.empty() && raw.back() == '\r') result += '\r';
            found = true;
        } else {
            result.append(raw);
        }
        if (newline) result += '\n';
        endsInNewline = newline;
    });
    if (!found) {
        if (!endsInNewline) result += '\n';
        result.append(key).append("=").append(value).append("\n");
    }
    return result;
}
