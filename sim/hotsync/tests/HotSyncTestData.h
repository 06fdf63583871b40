// What the HotSync tests put on a virtual handheld and read back from a desktop folder:
// databases of either kind whose every field depends on a seed, so that two of them differ
// wherever a copy could go wrong, and a folder's files byte for byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "sim/PalmDatabase.h"

inline PalmDatabase TestDatabase(const std::string& name, int records, bool resources,
                                 uint8_t seed) {
    PalmDatabase db;
    db.SetName(name);
    db.attributes = resources ? palmdb::kResourceDatabase : 0;
    db.type = resources ? palmdb::FourCc("appl") : palmdb::FourCc("DATA");
    db.creator = palmdb::FourCc("Test");
    db.creationDate = 3'000'000'000u + seed;
    db.modificationDate = 3'100'000'000u + seed;
    for (int i = 0; i < records; ++i) {
        std::vector<uint8_t> data(static_cast<size_t>(10 + i * 7 + seed),
                                  static_cast<uint8_t>(seed + i));
        if (resources)
            db.resources.push_back({palmdb::FourCc("code"), static_cast<uint16_t>(i), data});
        else
            db.records.push_back(
                {static_cast<uint8_t>(i % 16), static_cast<uint32_t>(0x1000 + i), data});
    }
    if (!resources && seed % 3 == 0) db.appInfo = std::vector<uint8_t>{1, 2, 3, seed};
    return db;
}

// Every file of a folder, by name, byte for byte.
inline std::map<std::string, std::vector<uint8_t>> FilesOf(const std::filesystem::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
}
