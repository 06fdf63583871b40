#include "sim/mkupd/Description.h"

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

DATA is one of
  file PATH                the bytes of a file (relative to the description's folder)
  pattern SEED SIZE        SIZE deterministic bytes generated from SEED (at most 256 MiB)

Example:
  device 11
  minor 4
  finalise 1
  os 0x00000 pattern 1 0x9000
  os 0x10000 file kernel.bin
  ram 0x20000 pattern 7 1000
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

bool ParseDescription(const std::string& text, const std::string& baseDir, UpdDescription& out,
                      std::string& error) {
    out = UpdDescription();
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
        } else {
            return fail("unknown statement '" + key + "'");
        }
    }
    return true;
}

UpdDescription SampleDescription() {
    UpdDescription d;
    d.device = 11;
    d.minor = 3;
    d.os.push_back({0x00000, PatternData(1, 0x9000)});
    d.os.push_back({0x10000, PatternData(2, 0x6000)});
    d.os.push_back({0x30000, PatternData(3, 0x2345)});
    d.ram.push_back({0x20000, PatternData(4, 1000)});
    return d;
}
