// The whole engine (port, packets, loader commands, flash model, PilotManager) against the
// simulated handheld in simulated time.
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

#include "image/UpdateImage.h"
#include "link/Clock.h"
#include "link/Guicallback.h"
#include "link/Loader.h"
#include "link/Pilotmanager.h"
#include "sim/Handheld.h"
#include "sim/SimSerialEdge.h"
#include "sim/VirtualClock.h"
#include "testing/TestUpdateFile.h"
#include "testing/Wire.h"

namespace engine {

// The tests' own update-file writer and wire helpers, independent of the code under test.
using testupd::BuildUpd;
using testupd::OsPart;
using testupd::Pattern;
using testupd::RamPart;
using testupd::TempFile;
using testupd::UpdPlan;
using wire::Get32;
using wire::Put16;
using wire::Put32;
// The file at `path` as the engine writes it; none when it cannot be read.
inline std::shared_ptr<const UpdateImage> Read(const char* path) {
    std::shared_ptr<const UpdateImage> image;
    (void)UpdateImage::Load(path, image);
    return image;
}

inline uint16_t Crc(const uint8_t* data, std::size_t length) { return wire::Crc(data, length); }

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

inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, uint32_t at, uint32_t size) {
    return {bytes.begin() + at, bytes.begin() + at + size};
}

// An OS of two sections with a flash store to finalise: the first 64 KiB (reset vector
// inside) and the OMG's page.
struct OsWithStore {
    OsWithStore() {
        image = Pattern(0x400000, 11);
        std::fill(image.begin() + 0x21000, image.end(), 0xFF);
        LayStore(image, Store{});
        sections = {{0, Slice(image, 0, 0x10000), {}}, {kOmg, Slice(image, kOmg, 0x1000), {}}};
    }
    std::vector<uint8_t> image;
    std::vector<OsPart> sections;
};

}  // namespace engine
