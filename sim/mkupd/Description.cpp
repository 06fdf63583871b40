#include "sim/mkupd/Description.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// Generated data is for tests and demos; anything bigger is almost surely a typo.
constexpr uint32_t kMaxPatternSize = 256u << 20;

bool ParseNumber(const std::string& word, uint32_t max, uint32_t& value) {
    const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    const std::string digits = hex ? word.substr(2) : word;
    if (digits.empty()) return false;
    uint64_t v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (v > max) return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

bool LoadFile(const std::filesystem::path& path, std::vector<uint8_t>& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && data.size() <= UINT32_MAX;
}

}  // namespace

const char kDescriptionHelp[] =
    R"(Description format: one statement a line; '#' starts a comment; numbers are
decimal or 0x-prefixed hexadecimal.

  device CODE              device code of the header (default 11)
  minor N                  version minor (default 3; 3 always finalises the flash
                           store, 4 and later only with the finalise flag)
  finalise FLAG            finalise flag of the update map (default 0)
  os OFFSET DATA           an OS section written to flash offset OFFSET
  ram ADDRESS DATA         a RAM section written to handheld address ADDRESS
  set16 OFFSET VALUE       put VALUE big-endian into the OS section data that lands
  set32 OFFSET VALUE       at flash offset OFFSET (2 or 4 bytes)
  fill OFFSET SIZE BYTE    set SIZE bytes of OS section data from flash offset
                           OFFSET to BYTE

set16, set32 and fill apply after every section is read, in the order written; the
bytes they change must lie inside one OS section's data (not its padding).

DATA is one of
  file PATH                the bytes of a file (relative to the description's folder)
  pattern SEED SIZE        SIZE deterministic bytes generated from SEED (at most 256 MiB)

Example:
  device 11
  minor 4
  finalise 1
  os 0x00000 pattern 1 0x9000
  os 0x10000 file kernel.bin
  set16 0x00100 0xBEEF     # two bytes of the first section's data
  ram 0x20000 pattern 7 1000
)";

// The README's sample: a small OS that carries a flash store for the updater to finalise. Its
// reset vector points into the OS (the 4 KiB page holding the store's control block, OMG),
// the OMG fields the updater fills in are blank, and the store itself (from disk_start on)
// is left to the blank flash: no section covers it.
const char kSampleDescription[] = R"(device 11
minor 3
os 0x00000 pattern 1 0x9000
set32 0x08004 0x10C20100      # reset vector: flash base 0x10C00000 + 0x20100
os 0x10000 pattern 2 0x6000
os 0x20000 pattern 5 0x1000   # the page that holds the OMG
fill 0x20034 124 0xFF         # num_chips, chip codes, disk_size, chip table: blank
set32 0x2003E 0x10C40000      # disk_start: the store runs from flash offset 0x40000
os 0x30000 pattern 3 0x2345
ram 0x20000 pattern 4 1000
)";

std::vector<uint8_t> PatternData(uint32_t seed, uint32_t size) {
    // xorshift32; its state must never be 0.
    uint32_t state = seed * 2654435761u + 0x9E3779B9u;
    if (state == 0) state = 1;
    std::vector<uint8_t> data(size);
    for (uint8_t& byte : data) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return data;
}

namespace {

// A change to OS section data, applied once every section is known.
struct Patch {
    int line;
    uint32_t offset;
    std::vector<uint8_t> bytes;
};

bool ApplyPatch(const Patch& patch, std::vector<UpdSection>& os, std::string& error) {
    const uint64_t end = uint64_t{patch.offset} + patch.bytes.size();
    for (UpdSection& s : os) {
        const uint64_t start = s.target;
        if (patch.offset < start || end > start + s.data.size()) continue;
        std::copy(patch.bytes.begin(), patch.bytes.end(),
                  s.data.begin() + static_cast<std::ptrdiff_t>(patch.offset - start));
        return true;
    }
    char range[64];
    std::snprintf(range, sizeof range, "0x%X..0x%llX", patch.offset,
                  static_cast<unsigned long long>(end));
    error = "line " + std::to_string(patch.line) + ": flash offsets " + range +
            " do not lie inside one OS section's data";
    return false;
}

std::vector<uint8_t> BigEndian(uint32_t value, int bytes) {
    std::vector<uint8_t> out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
    return out;
}

}  // namespace

bool ParseDescription(const std::string& text, const std::string& baseDir, UpdDescription& out,
                      std::string& error) {
    out = UpdDescription();
    std::vector<Patch> patches;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream in(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(in),
                                       std::istream_iterator<std::string>()};
        if (words.empty()) continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        const std::string& key = words[0];
        uint32_t value = 0;
        if (key == "device" || key == "minor" || key == "finalise") {
            if (words.size() != 2 || !ParseNumber(words[1], 0xFFFF, value))
                return fail(key + " needs one number from 0 to 65535");
            const auto v16 = static_cast<uint16_t>(value);
            (key == "device" ? out.device : key == "minor" ? out.minor : out.finaliseFlag) = v16;
        } else if (key == "os" || key == "ram") {
            UpdSection section;
            if (words.size() < 3 || !ParseNumber(words[1], UINT32_MAX, section.target))
                return fail(key + " needs a target number and data");
            if (words[2] == "file" && words.size() == 4) {
                std::filesystem::path path = words[3];
                if (path.is_relative()) path = std::filesystem::path(baseDir) / path;
                if (!LoadFile(path, section.data))
                    return fail("cannot read data file " + path.string());
            } else if (words[2] == "pattern" && words.size() == 5) {
                uint32_t seed = 0, size = 0;
                if (!ParseNumber(words[3], UINT32_MAX, seed) ||
                    !ParseNumber(words[4], kMaxPatternSize, size))
                    return fail("pattern needs a seed and a size of at most 256 MiB");
                section.data = PatternData(seed, size);
            } else {
                return fail("data is 'file PATH' or 'pattern SEED SIZE'");
            }
            (key == "os" ? out.os : out.ram).push_back(std::move(section));
        } else if (key == "set16" || key == "set32") {
            const bool wide = key == "set32";
            uint32_t offset = 0;
            if (words.size() != 3 || !ParseNumber(words[1], UINT32_MAX, offset) ||
                !ParseNumber(words[2], wide ? UINT32_MAX : 0xFFFF, value))
                return fail(key + " needs a flash offset and a value of at most " +
                            (wide ? "0xFFFFFFFF" : "0xFFFF"));
            patches.push_back({number, offset, BigEndian(value, wide ? 4 : 2)});
        } else if (key == "fill") {
            uint32_t offset = 0, size = 0;
            if (words.size() != 4 || !ParseNumber(words[1], UINT32_MAX, offset) ||
                !ParseNumber(words[2], kMaxPatternSize, size) ||
                !ParseNumber(words[3], 0xFF, value))
                return fail("fill needs a flash offset, a size and a byte value");
            patches.push_back(
                {number, offset, std::vector<uint8_t>(size, static_cast<uint8_t>(value))});
        } else {
            return fail("unknown statement '" + key + "'");
        }
    }
    for (const Patch& patch : patches)
        if (!ApplyPatch(patch, out.os, error)) return false;
    return true;
}

UpdDescription SampleDescription() {
    UpdDescription d;
    std::string error;
    // The text is ours and always parses; a failure here is a fault in this file.
    if (!ParseDescription(kSampleDescription, ".", d, error)) std::abort();
    return d;
}
