// The state directory of a simulated handheld, which outlives one palmsim run and is shared
// with the HotSync stand-ins: the flash byte for byte (flash.bin), the RAM (ram.bin) and the
// configuration (handheld.conf, key=value lines; keys of other tools are kept).
#pragma once

#include <string>
#include <vector>

#include "sim/HandheldConfig.h"

class Handheld;

namespace state_files {
constexpr const char* kFlash = "flash.bin";
constexpr const char* kRam = "ram.bin";
constexpr const char* kConfig = "handheld.conf";
}  // namespace state_files

// Reads the configuration file into `config` when it exists; a directory without one, or one
// not made yet, leaves `config` as it was. Refuses a `dir` that exists but is no directory, or
// that could never be made because a file stands in its way, and state files that are not
// regular files (a directory, a FIFO, a device, a symbolic link to one of these or to
// nothing): reading those would block, never end, or start a blank handheld over one that is
// only out of reach. Keys the handheld does not know are kept in `config.otherKeys` and each
// gets a line in `warnings`.
bool LoadStateConfig(const std::string& dir, HandheldConfig& config,
                     std::vector<std::string>& warnings, std::string& error);
// Fills flash and RAM from their files where they exist. A file whose size does not match
// the handheld's is refused rather than cut or padded, and so is one that is not a regular
// file, as above.
bool LoadStateMemory(const std::string& dir, Handheld& handheld, std::string& error);
// Writes all three files, creating the directory if needed. Each is written beside its old
// self and then renamed over it, and no file is replaced until all three are written, so a
// save that fails (a full disk, a directory made read-only, a state file turned into a
// directory) leaves the previous state whole.
bool SaveState(const std::string& dir, const Handheld& handheld, std::string& error);
