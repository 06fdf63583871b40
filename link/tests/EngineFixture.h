// The whole engine (port, packets, loader commands, flash model, PilotManager) against the
// simulated handheld in simulated time, plus an update-file writer of its own. The writer
// shares nothing with the reader or mkupd: offsets are plain numbers here and the CRC is
// computed bit by bit, so a layout mistake cannot hide behind a shared one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/Guicallback.h"
#include "image/tests/TestUpd.h"
#include "link/Loader.h"
#include "link/Pilotmanager.h"
#include "sim/Handheld.h"
#include "sim/SimLineClock.h"
#include "sim/SimLineEdge.h"

namespace engine {

// The bit-by-bit CRC and temporary files of the reader's tests: independent of the code
// under test, and one copy for all the tests that write update files.
using testupd::TempFile;
inline uint16_t Crc(const uint8_t* data, std::size_t length) {
    return testupd::BitwiseCrc(data, length);
}

inline void Put16(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}
inline void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    Put16(b, at, v >> 16);
    Put16(b, at + 2, v & 0xFFFF);
}
inline uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

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
    std::vector<OsPart> os;
    std::vector<RamPart> ram;
    uint8_t padding = 0xA5;  // fills each OS section's last block; it goes to flash too
};

// Header, update map, OS map in relative sectors 1-4, the RAM map after it, then the data.
inline std::vector<uint8_t> BuildUpd(const UpdPlan& plan) {
    const uint32_t ramMapSectors =
        plan.ram.empty() ? 0 : static_cast<uint32_t>((18 + 12 * plan.ram.size() + 511) / 512);
    uint32_t next = 5 + ramMapSectors;  // first free relative sector
    std::vector<uint8_t> file(512 * (1 + next), 0);
    auto grow = [&](uint32_t sectors) { file.resize(512 * (1 + std::size_t{sectors}), 0); };

    std::memcpy(&file[0], ">OS UPDATE FILE", 16);
    Put16(file, 16, 1);
    Put16(file, 18, plan.minor);
    Put16(file, 26, 11);
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
        Put16(file, entry, part.crc ? *part.crc : Crc(part.data.data(), size));
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
    Put16(file, 20, Crc(&file[512], file.size() - 512));
    return file;
}

// Records every report; can ask to stop at the n-th one, as the abort button would.
class RecordingCallback : public GuiCallback {
public:
    void Progress(int32_t value) override {
        reports.push_back(value);
        if (abortAtReport && reports.size() == *abortAtReport) RequestAbort();
    }
    std::vector<int32_t> reports;
    std::optional<std::size_t> abortAtReport;
};

inline HandheldConfig LoaderRunning(HandheldConfig config = {}) {
    config.mode = HandheldMode::Loader;
    return config;
}

// A handheld whose loader runs, a cable to it and the engine on the desktop's end.
class Engine {
public:
    explicit Engine(const HandheldConfig& config = LoaderRunning())
        : handheld(config), clock(uint64_t{1} << 40) {
        SetLinkClock(&clock);
        manager = std::make_unique<TPilotManager>(&callback,
                                                  std::make_unique<SimSerialEdge>(handheld, clock));
    }
    ~Engine() {
        manager.reset();
        SetLinkClock(nullptr);
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The normal-mode road up to the flash: port open and the loader answering.
    TResult Connect() {
        if (const TResult r = manager->OpenPort("COM1")) return r;
        return manager->StartLoader();
    }
    TLoader& Loader() { return *manager->Loader(); }
    std::vector<uint8_t>& Flash() { return handheld.Memory().Flash(); }
    std::vector<uint8_t>& Ram() { return handheld.Memory().Ram(); }

    Handheld handheld;
    VirtualClock clock;
    RecordingCallback callback;
    std::unique_ptr<TPilotManager> manager;
};

// A freshly flashed OS with a flash store: the reset vector points into the page of the
// OMG, whose fields are blank but for disk_start; heap and chunk areas are erased.
struct Store {
    uint32_t vector = 0x10C20010;     // OMG at flash offset 0x20000
    uint32_t diskStart = 0x00C30000;  // the high nibble is added by the finaliser
};

constexpr uint32_t kOmg = 0x20000;

inline void LayStore(std::vector<uint8_t>& flash, const Store& store) {
    Put32(flash, 0x8004, store.vector);
    const std::vector<uint8_t> omg = Pattern(176, 3);
    std::copy(omg.begin(), omg.end(), flash.begin() + kOmg);
    std::fill(flash.begin() + kOmg + 52, flash.begin() + kOmg + 62, 0xFF);
    std::fill(flash.begin() + kOmg + 66, flash.begin() + kOmg + 176, 0xFF);
    Put32(flash, kOmg + 62, store.diskStart);
}

// What the finaliser must leave for one 4 MiB chip at 0x10C00000 and the store above,
// worked out by hand: D = 0x30000, heap at 0x32000, first free chunk right after its header.
inline void ExpectFinalised(std::vector<uint8_t>& flash) {
    const uint32_t total = 0x400000;
    Put16(flash, kOmg + 52, 1);
    Put16(flash, kOmg + 54, 0x89);
    Put16(flash, kOmg + 56, 0x8897);
    Put16(flash, kOmg + 58, 0);
    Put16(flash, kOmg + 60, 0);
    Put32(flash, kOmg + 66, total - 0x30000 - 0x2000);
    Put16(flash, kOmg + 76, 1);  // chip-table copy: count, then 8 entries of 12 bytes
    for (uint32_t i = 0; i < 8; ++i) {
        const uint32_t entry = kOmg + 78 + 12 * i;
        Put32(flash, entry, i == 0 ? 0x10C00000 : 0);
        Put16(flash, entry + 4, i == 0 ? 0x89 : 0);
        Put16(flash, entry + 6, i == 0 ? 0x8897 : 0);
        Put32(flash, entry + 8, i == 0 ? total : 0);
    }
    Put32(flash, 0x32002, 0x3CE000);
    Put32(flash, 0x32006, (0x3CE000 - 4) / 2);
    Put32(flash, 0x32010, 0xFF3CDFF0 - 4);
    Put32(flash, total - 4, 0);
}

}  // namespace engine
