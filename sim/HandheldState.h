// The state directory of a simulated handheld, which outlives one palmsim run and is shared
// with the HotSync stand-ins: the flash byte for byte (flash.bin), the RAM (ram.bin) and the
// configuration (handheld.conf, key=value lines; keys of other tools are kept).
#pragma once

#include <string>

#include "sim/HandheldConfig.h"

class Handheld;

namespace state_files {
constexpr const char* kFlash = "flash.bin";
constexpr const char* kRam = "ram.bin";
constexpr const char* kConfig = "handheld.conf";
}  // namespace state_files

// Reads the configuration file into `config` when it exists; a directory without one leaves
// `config` as it was.
bool LoadStateConfig(const std::string& dir, HandheldConfig& config, std::string& error);
// Fills flash and RAM from their files where they exist. A file whose size does not match
// the handheld's is refused rather than cut or padded.
bool LoadStateMemory(const std::string& dir, Handheld& handheld, std::string& error);
// Writes all three files, each replaced whole, creating the directory if needed.
bool SaveState(const std::string& dir, const Handheld& handheld, std::string& error);
