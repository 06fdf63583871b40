// What mkupd builds: an update file described as a few lines of text, with the data of
// every section already loaded or generated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct UpdSection {
    uint32_t target;  // flash offset of an OS section, RAM address of a RAM section
    std::vector<uint8_t> data;
};

struct UpdDescription {
    uint16_t device = 11;
    uint16_t minor = 3;
    uint16_t finaliseFlag = 0;
    std::vector<UpdSection> os;
    std::vector<UpdSection> ram;
};

// Parses a description; `baseDir` is where relative data file names are looked up. On
// failure returns false with a message naming the line.
bool ParseDescription(const std::string& text, const std::string& baseDir, UpdDescription& out,
                      std::string& error);

// The sample file of the README, parsed from kSampleDescription: device 11, minor 3, four
// small OS sections with a reset vector and a blank flash store control block for the
// finalisation, and one RAM section.
UpdDescription SampleDescription();
extern const char kSampleDescription[];

// Deterministic bytes for a seed: the same seed and size always give the same data.
std::vector<uint8_t> PatternData(uint32_t seed, uint32_t size);

// The text of `mkupd --help` that documents the description format.
extern const char kDescriptionHelp[];
