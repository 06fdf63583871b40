// Test equipment for the pages that work the link and HotSync Manager: the simulated
// handheld on a simulated cable in simulated time, the engine on the desktop's end, Palm
// Desktop's keys in memory and a desktop in memory, and a page dialog in memory.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/Settings.h"
#include "app/tests/FakePageUi.h"
#include "base/MemoryRegistry.h"
#include "hotsync/tests/FakeDesktop.h"
#include "link/Clock.h"
#include "link/Guicallback.h"
#include "link/Pilotmanager.h"
#include "sim/Handheld.h"
#include "sim/SimSerialEdge.h"
#include "sim/VirtualClock.h"

class PageWorld : public ::testing::Test {
protected:
    static inline const std::string kPalm = "Software\\Palm Computing\\Pilot Desktop\\";
    static inline const std::string kManagerKey = kPalm + "HotSync Manager";
    static inline const std::string kHotSyncExe = "C:\\Palm\\HotSync.exe";

    explicit PageWorld(HandheldMode mode = HandheldMode::RomDebugger) : PageWorld(Config(mode)) {}
    explicit PageWorld(const HandheldConfig& config) : handheld(config), clock(uint64_t{1} << 40) {
        SetLinkClock(&clock);
        auto edge = std::make_unique<SimSerialEdge>(handheld, clock, false);
        cable = edge.get();
        link = std::make_unique<TPilotManager>(&callback, std::move(edge));
    }
    ~PageWorld() override {
        link.reset();
        SetLinkClock(nullptr);
    }
    static HandheldConfig Config(HandheldMode mode, uint8_t battery = 80) {
        HandheldConfig config;
        config.mode = mode;
        config.battery = battery;
        return config;
    }

    // Palm Desktop installed, HotSync Manager's program present.
    void InstallPalmDesktop() {
        registry.SetText(kPalm + "Core", "HotSyncPath", kHotSyncExe);
        registry.SetText(kManagerKey, "BackupConduit", "bakcn20.dll");
        world->files.insert(kHotSyncExe);
    }
    // HotSync Manager over what the registry and the desktop hold now.
    THotSyncManager& HotSync() {
        manager = std::make_unique<THotSyncManager>(
            registry.Edge(), std::make_unique<FakeDesktop>(world), std::make_unique<NoBoxes>());
        return *manager;
    }
    // A HotSync as HotSync Manager shows it: its progress window and a busy status.
    void HotSyncRuns(bool runs) {
        world->syncStatus = runs ? 0xFFFFFFFF : 0;
        if (runs)
            world->OpenWindow(hotsync::kProgressTitle);
        else
            world->CloseWindow(hotsync::kProgressTitle);
    }

    struct NoBoxes final : MessageBoxEdge {
        int Show(const char*, const char*, unsigned) override { return mb::IdOk; }
    };

    // The engine's progress reports, handed to the page as its message handler would get them.
    struct PageCallback final : GuiCallback {
        void Progress(int32_t value) override {
            if (to) to(value);
        }
        std::function<void(int32_t)> to;
    };

    Handheld handheld;
    VirtualClock clock;
    PageCallback callback;
    SimSerialEdge* cable = nullptr;
    std::unique_ptr<TPilotManager> link;
    MemoryRegistry registry;
    std::shared_ptr<DesktopWorld> world = std::make_shared<DesktopWorld>();
    std::unique_ptr<THotSyncManager> manager;
    win32_cfg_type settings;
    FakePageUi ui;
};
