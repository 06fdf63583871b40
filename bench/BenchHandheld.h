// The conduit benchmarks' handheld, the same natively and under Wine: `count` databases of
// `total` bytes in all, four of five record databases of 20 records, the fifth a resource
// database of 10 resources, every byte differing from its neighbours'.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "sim/PalmDatabase.h"

// Database `i` of `count`.
inline PalmDatabase BenchDatabase(int i, int count, uint64_t total) {
    const uint64_t each = total / static_cast<uint64_t>(count);
    PalmDatabase db;
    char name[32];
    std::snprintf(name, sizeof name, "Bench %03d", i);
    db.SetName(name);
    const bool resources = i % 5 == 4;
    db.attributes = resources ? palmdb::kResourceDatabase : 0;
    db.type = palmdb::FourCc(resources ? "appl" : "DATA");
    db.creator = palmdb::FourCc("KBen");
    db.creationDate = 3'000'000'000u + static_cast<uint32_t>(i);
    db.modificationDate = 3'100'000'000u + static_cast<uint32_t>(i);
    const int blocks = resources ? 10 : 20;
    for (int b = 0; b < blocks; ++b) {
        std::vector<uint8_t> data(static_cast<size_t>(each / static_cast<uint64_t>(blocks)));
        for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<uint8_t>(k * 7 + i + b);
        if (resources)
            db.resources.push_back({palmdb::FourCc("code"), static_cast<uint16_t>(b), data});
        else
            db.records.push_back(
                {static_cast<uint8_t>(b % 16), 0x1000u + static_cast<uint32_t>(b), data});
    }
    return db;
}
