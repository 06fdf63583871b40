// Test equipment: the one update-file writer of the tests, byte by byte (Upd) or from a plan
// of sections (BuildUpd). It is deliberately independent of the reader and of mkupd: offsets
// are written out here as plain numbers and the CRC is computed bit by bit, so a wrong
// layout constant or CRC table cannot hide behind a shared mistake.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "testing/Wire.h"

namespace testupd {

struct Os {
    uint16_t crc;
    uint32_t sector, size, offset;
};

struct Ram {
    uint32_t sector, size, address;
};

// Starts as a header (version 1.3, device 11) and an update map without OS or RAM map.
class Upd {
public:
    Upd() {
        Text(0, ">OS UPDATE FILE");
        U16(16, 1);
        U16(18, 3);
        U16(26, 11);
        Text(512, ">KVR UPDATE MAP");
    }

    void U16(std::size_t at, unsigned v) {
        Grow(at + 2);
        bytes[at] = static_cast<uint8_t>(v >> 8);
        bytes[at + 1] = static_cast<uint8_t>(v);
    }
    void U32(std::size_t at, uint32_t v) {
        U16(at, v >> 16);
        U16(at + 2, v & 0xFFFF);
    }
    void Text(std::size_t at, const char* text) {
        Grow(at + std::strlen(text) + 1);
        std::memcpy(bytes.data() + at, text, std::strlen(text) + 1);
    }

    // The OS map in relative sectors 1-4 (file offset 1024); `sectorsField` is what the
    // update map claims.
    Upd& OsMap(const std::vector<Os>& sections, uint32_t sectorsField = 4) {
        U32(512 + 18, 1);
        U32(512 + 22, sectorsField);
        Grow(1024 + 4 * 512);
        Text(1024, "KVR OS MAP");
        U16(1024 + 16, static_cast<unsigned>(sections.size()));
        for (std::size_t i = 0; i < sections.size(); ++i) {
            const std::size_t at = 1024 + 18 + 14 * i;
            U16(at, sections[i].crc);
            U32(at + 2, sections[i].sector);
            U32(at + 6, sections[i].size);
            U32(at + 10, sections[i].offset);
        }
        return *this;
    }

    // A RAM map of `sectors` sectors at relative sector `start`.
    Upd& RamMap(uint32_t start, uint32_t sectors, const std::vector<Ram>& sections) {
        U32(512 + 66, start);
        U32(512 + 70, sectors);
        const std::size_t base = 512 * (start + 1);
        Grow(base + 512 * sectors);
        U16(base + 16, static_cast<unsigned>(sections.size()));
        for (std::size_t i = 0; i < sections.size(); ++i) {
            const std::size_t at = base + 18 + 12 * i;
            U32(at, sections[i].sector);
            U32(at + 4, sections[i].size);
            U32(at + 8, sections[i].address);
        }
        return *this;
    }

    // Pads to whole sectors and fills in the sector count and CRC over all but the header.
    std::vector<uint8_t> Sealed() {
        Grow((bytes.size() + 511) / 512 * 512);
        U32(22, static_cast<uint32_t>(bytes.size() / 512 - 1));
        U16(20, wire::Crc(bytes.data() + 512, bytes.size() - 512));
        return bytes;
    }

    void Grow(std::size_t size) {
        if (bytes.size() < size) bytes.resize(size);
    }

    std::vector<uint8_t> bytes;
};

// A file in the temporary directory, removed again at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("kestrel-upd-" + std::to_string(std::random_device{}()) + ".upd"))
                    .string();
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const char* Path() const { return path_.c_str(); }

private:
    std::string path_;
};

// Deterministic bytes for a seed.
inline std::vector<uint8_t> Pattern(std::size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

struct OsPart {
    uint32_t offset;
    std::vector<uint8_t> data;
    std::optional<uint16_t> crc;  // the data's own CRC unless given
};

struct RamPart {
    uint32_t address;
    std::vector<uint8_t> data;
};

struct UpdPlan {
    uint16_t minor = 3;
    uint16_t finaliseFlag = 0;
    uint16_t device = 11;
    std::vector<OsPart> os;
    std::vector<RamPart> ram;
    uint8_t padding = 0xA5;  // fills each OS section's last block; it goes to flash too
};

// Header, update map, OS map in relative sectors 1-4, the RAM map after it, then the data.
inline std::vector<uint8_t> BuildUpd(const UpdPlan& plan) {
    using wire::Put16;
    using wire::Put32;
    const uint32_t ramMapSectors =
        plan.ram.empty() ? 0 : static_cast<uint32_t>((18 + 12 * plan.ram.size() + 511) / 512);
    uint32_t next = 5 + ramMapSectors;  // first free relative sector
    std::vector<uint8_t> file(512 * (1 + next), 0);
    auto grow = [&](uint32_t sectors) { file.resize(512 * (1 + std::size_t{sectors}), 0); };

    std::memcpy(&file[0], ">OS UPDATE FILE", 16);
    Put16(file, 16, 1);
    Put16(file, 18, plan.minor);
    Put16(file, 26, plan.device);
    std::memcpy(&file[512], ">KVR UPDATE MAP", 16);
    Put16(file, 512 + 62, plan.finaliseFlag);
    if (!plan.os.empty()) {
        Put32(file, 512 + 18, 1);
        Put32(file, 512 + 22, 4);
        std::memcpy(&file[1024], "TEST OS MAP", 12);
        Put16(file, 1024 + 16, static_cast<uint32_t>(plan.os.size()));
    }
    if (!plan.ram.empty()) {
        Put32(file, 512 + 66, 5);
        Put32(file, 512 + 70, ramMapSectors);
        Put16(file, 512 * 6 + 16, static_cast<uint32_t>(plan.ram.size()));
    }
    for (std::size_t i = 0; i < plan.os.size(); ++i) {
        const OsPart& part = plan.os[i];
        const auto size = static_cast<uint32_t>(part.data.size());
        const uint32_t blocks = (size + 4095) / 4096;
        grow(next + blocks * 8);
        uint8_t* at = &file[512 * (1 + std::size_t{next})];
        std::memset(at, plan.padding, std::size_t{blocks} * 4096);
        if (size) std::memcpy(at, part.data.data(), size);
        const std::size_t entry = 1024 + 18 + 14 * i;
        Put16(file, entry, part.crc ? *part.crc : wire::Crc(part.data.data(), size));
        Put32(file, entry + 2, next);
        Put32(file, entry + 6, size);
        Put32(file, entry + 10, part.offset);
        next += blocks * 8;
    }
    for (std::size_t i = 0; i < plan.ram.size(); ++i) {
        const RamPart& part = plan.ram[i];
        const auto size = static_cast<uint32_t>(part.data.size());
        const uint32_t sectors = (size + 511) / 512;
        grow(next + sectors);
        if (size) std::memcpy(&file[512 * (1 + std::size_t{next})], part.data.data(), size);
        const std::size_t entry = 512 * 6 + 18 + 12 * i;
        Put32(file, entry, next);
        Put32(file, entry + 4, size);
        Put32(file, entry + 8, part.address);
        next += sectors;
    }
    Put32(file, 22, static_cast<uint32_t>(file.size() / 512 - 1));
    Put16(file, 20, wire::Crc(&file[512], file.size() - 512));
    return file;
}

}  // namespace testupd
