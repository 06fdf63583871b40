// A tiny update-file writer for the reader's tests. It is deliberately independent of the
// reader and of mkupd: offsets are written out here as plain numbers and the CRC is computed
// bit by bit, so a wrong layout constant or CRC table cannot hide behind a shared mistake.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace testupd {

inline uint16_t BitwiseCrc(const uint8_t* data, std::size_t length) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= unsigned{data[i]} << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        crc &= 0xFFFF;
    }
    return static_cast<uint16_t>(crc);
}

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
        U16(20, BitwiseCrc(bytes.data() + 512, bytes.size() - 512));
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

}  // namespace testupd
