// The state directory of a simulated handheld, which outlives one palmsim run and is shared
// with the HotSync stand-ins: the flash byte for byte (flash.bin), the RAM (ram.bin), the
// configuration (handheld.conf, key=value lines; keys of other tools are kept) and the
// databases (sim/HandheldStore.h), which the serial side changes through its store events.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/HandheldConfig.h"

class Handheld;
enum class StoreEvent : uint8_t;

// A file as it stood at one moment, to tell later whether somebody has written it since. An
// entry of a store folder is taken as it stands there: a symbolic link is stamped by where it
// points, never by what it points at.
struct FileStamp {
    std::string name;  // within its folder
    bool present = false;
    std::filesystem::file_type type = std::filesystem::file_type::none;
    uint64_t size = 0;
    std::filesystem::file_time_type written{};
    std::filesystem::path linkTarget;
    bool operator==(const FileStamp&) const = default;
};

// What the handheld did to its stores since its state was last saved, with what the state
// directory held at that moment. A save takes those entries away (a symbolic link, a FIFO or
// any other entry too, as the link or node itself), and the user name with an erased RAM
// store; what the HotSync side wrote after the event (a restore, a database it installed) is
// newer than the event and stays. A subdirectory is nothing a store holds and nobody's to
// delete wholesale: it stays, and the event reports it.
struct StoreChanges {
    bool ramStoreErased = false;
    std::vector<FileStamp> erasedRam;       // ram/ at the erase
    FileStamp configAtErase;                // handheld.conf at the erase
    std::vector<FileStamp> erasedRomAdded;  // rom-added/ at the flash store's set-up
    // Subdirectories reported already: an erase is three writes, and a report each would
    // only repeat itself. Kept across saves.
    std::vector<std::string> reportedLeft;
};

// Notes `event` with what the state directory holds now; returns a line for each entry the
// event leaves in place that no event has reported before.
std::vector<std::string> NoteStoreEvent(const std::string& dir, StoreEvent event,
                                        StoreChanges& changes);
// Whether a handheld reset into its OS finds the loader installed in RAM and starts it: a
// database "Bootlet" of type 'appl' and creator 'KBlt' in ram/ that no RAM-store erase since
// the last save has taken away.
bool BootletInstalled(const std::string& dir, const StoreChanges& changes);

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
// directory) leaves the previous state whole. A state file that is a symbolic link to a
// regular file stays that link: the state goes to the file it points at, written beside that
// file and renamed over it alike; a link to nothing is refused, as at start.
bool SaveState(const std::string& dir, const Handheld& handheld, std::string& error);
// The same, and then the store changes: the user name, the HotSync side's keys and the keys of
// other tools are taken from handheld.conf as it stands now (the HotSync side may have written
// them meanwhile), the user name cleared after a RAM-store erase nobody has written over, and
// the files the changes took away are removed. `changes` is emptied once all that is done;
// a save that fails keeps it for the next one.
bool SaveState(const std::string& dir, const Handheld& handheld, StoreChanges& changes,
               std::string& error);
