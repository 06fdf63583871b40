// The link facade against the simulated handheld: connecting to the loader, the checks the
// pages make, wiping the RAM store, leaving, and the advanced-mode road from the ROM debugger.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/CommPort.h"
#include "link/SLK.h"
#include "link/tests/EngineFixture.h"

namespace {

using namespace engine;

TEST(PilotmanagerEngine, StartLoaderWantsVersion30OrLater) {
    struct Case {
        uint16_t version;
        TResult result;
    };
    for (const Case& c : {Case{29, rc::BadLoaderVersion}, Case{30, 0}, Case{0xFFFF, 0}}) {
        HandheldConfig config = LoaderRunning();
        config.loaderVersion = c.version;
        Engine e(config);
        const uint64_t start = e.clock.NowNs();
        EXPECT_EQ(e.Connect(), c.result) << c.version;
        EXPECT_EQ(e.manager->IsConnected(), c.result == 0) << c.version;
        EXPECT_GE(e.clock.NowNs() - start, 500'000'000u) << "the loader gets its 500 ms";
    }
}

TEST(PilotmanagerEngine, StartLoaderFailures) {
    HandheldConfig silent = LoaderRunning();
    silent.faults.silentLoader = true;
    HandheldConfig unknownChip = LoaderRunning();
    unknownChip.chips = {{0x42, 0x4242}};
    HandheldConfig inDebugger;  // nobody has started the loader yet
    struct Case {
        const char* what;
        HandheldConfig config;
        TResult result;
    };
    const Case cases[] = {
        {"loader silent", silent, rc::CommTimeout},
        {"first chip unknown: named as such", unknownChip, rc::ChipNotRecognised},
        {"still in the ROM debugger", inDebugger, rc::CommTimeout},
    };
    for (const Case& c : cases) {
        Engine e(c.config);
        EXPECT_EQ(e.Connect(), c.result) << c.what;
        EXPECT_FALSE(e.manager->IsConnected()) << c.what;
        EXPECT_EQ(e.manager->CurrentState(), TPilotManager::Idle) << c.what;
    }
}

TEST(PilotmanagerEngine, HighSpeedMovesBothEndsTo115200) {
    Engine e;
    e.manager->Options().highSpeed = true;
    ASSERT_EQ(e.Connect(), 0);
    EXPECT_EQ(e.manager->Port()->BaudRate(), 115200u);
    EXPECT_EQ(e.handheld.LineSpeed(), 115200u);
    uint8_t byte = 0;
    EXPECT_EQ(e.Loader().RB(0, &byte, 1), 0);  // and the two still understand each other
}

TEST(PilotmanagerEngine, ARateTheLoaderRefusesChangesNothing) {
    Engine e;
    ASSERT_EQ(e.Connect(), 0);
    EXPECT_EQ(e.manager->SetBaudRate(12345), rc::ConnectionLost);
    EXPECT_EQ(e.manager->Port()->BaudRate(), 57600u);
    EXPECT_EQ(e.manager->CheckBattery(), 0);
}

TEST(PilotmanagerEngine, BatteryMustBeAbove19Percent) {
    const struct {
        uint8_t percent;
        TResult result;
    } cases[] = {{0, rc::BatteryLow}, {19, rc::BatteryLow}, {20, 0}, {100, 0}};
    for (const auto& c : cases) {
        HandheldConfig config = LoaderRunning();
        config.battery = c.percent;
        Engine e(config);
        ASSERT_EQ(e.Connect(), 0);
        EXPECT_EQ(e.manager->CheckBattery(), c.result) << int{c.percent};
    }
    HandheldConfig silent = LoaderRunning();
    silent.faults.hangUpAfterPackets = 3;  // answers the connection, then nothing
    Engine e(silent);
    ASSERT_EQ(e.Connect(), 0);
    EXPECT_EQ(e.manager->CheckBattery(), rc::CommError);
}

// The same 4 KiB of 0xFF, three times over, 256 KiB above the RAM base.
TEST(PilotmanagerEngine, EraseRamStoreOverwritesTheBlockAboveTheRamBase) {
    const struct {
        uint16_t hardwareId;
        uint32_t ramBase;
    } cases[] = {{10, 0}, {1, 0x10000000}};
    for (const auto& c : cases) {
        HandheldConfig config = LoaderRunning();
        config.hardwareId = c.hardwareId;
        Engine e(config);
        ASSERT_EQ(e.Connect(), 0);
        ASSERT_EQ(e.handheld.Memory().RamBase(), c.ramBase);
        const std::vector<uint8_t> old = Pattern(e.Ram().size(), 5);
        std::copy(old.begin(), old.end(), e.Ram().begin());
        std::vector<uint8_t> expected = old;
        std::fill_n(expected.begin() + 0x40000, 4096, uint8_t{0xFF});
        const uint32_t packets = e.handheld.PacketsReceived();

        EXPECT_EQ(e.manager->EraseRamStore(), 0) << c.hardwareId;
        EXPECT_TRUE(e.Ram() == expected) << c.hardwareId;
        // The hardware-id query, then the three writes.
        EXPECT_EQ(e.handheld.PacketsReceived() - packets, 4u) << c.hardwareId;
    }
}

TEST(PilotmanagerEngine, DisconnectLeavesTheLoaderOnlyWhenConnected) {
    Engine e;
    ASSERT_EQ(e.manager->OpenPort("COM1"), 0);
    EXPECT_EQ(e.manager->Disconnect(), 0);
    EXPECT_EQ(e.handheld.Mode(), HandheldMode::Loader);  // no leave command without a loader link
    EXPECT_FALSE(e.manager->Port()->IsOpen());

    ASSERT_EQ(e.Connect(), 0);
    EXPECT_EQ(e.manager->Disconnect(), 0);
    EXPECT_EQ(e.handheld.Mode(), HandheldMode::Os);
    EXPECT_EQ(e.manager->CurrentState(), TPilotManager::Idle);
    EXPECT_FALSE(e.manager->Port()->IsOpen());
    EXPECT_EQ(e.manager->Disconnect(), 0);  // again: nothing left to close
}

TEST(PilotmanagerEngine, AdvancedModeFromTheRomDebuggerToTheFinishedUpdate) {
    HandheldConfig config;  // in the ROM debugger
    config.hardwareId = 6;  // device type 7
    Engine e(config);
    e.manager->Options().advancedMode = true;

    // A loader image: some code, the entry mark, more code.
    std::vector<uint8_t> loader = Pattern(3000, 101);
    const uint8_t mark[] = {0xFA, 0xAB, 0xF0, 0x0D};
    std::copy(std::begin(mark), std::end(mark), loader.begin() + 100);

    ASSERT_EQ(e.manager->OpenPort("COM3"), 0);
    ASSERT_EQ(e.manager->ConnectDebugger(), 0);
    EXPECT_EQ(e.manager->CurrentState(), TPilotManager::DebuggerAnswered);
    ASSERT_EQ(e.manager->UploadLoader(loader.data(), static_cast<uint32_t>(loader.size()),
                                      static_cast<uint32_t>(loader.size())),
              0);
    ASSERT_EQ(e.manager->StartLoader(), 0);
    EXPECT_EQ(e.manager->DeviceType(), 7);
    uint32_t capacity = 0;
    ASSERT_EQ(e.manager->FlashCapacity(&capacity), 0);
    EXPECT_EQ(capacity, 0x400000u);

    UpdPlan plan;
    plan.minor = 4;
    plan.os = {{0x10000, Pattern(9000, 102), {}}};
    plan.ram = {{0x80000, Pattern(5000, 103)}};
    TempFile file(BuildUpd(plan));
    e.callback.reports.clear();
    ASSERT_EQ(e.manager->EraseRamStore(), 0);
    ASSERT_EQ(e.manager->FlashOsImage(Read(file.Path())), 0);
    EXPECT_EQ(e.callback.reports.front(), 5);
    ASSERT_EQ(e.manager->InstallRamImage(Read(file.Path())), 0);
    EXPECT_EQ(e.manager->Disconnect(), 0);

    EXPECT_TRUE(
        std::equal(plan.os[0].data.begin(), plan.os[0].data.end(), e.Flash().begin() + 0x10000));
    EXPECT_TRUE(
        std::equal(plan.ram[0].data.begin(), plan.ram[0].data.end(), e.Ram().begin() + 0x80000));
    EXPECT_EQ(e.handheld.Mode(), HandheldMode::Os);
}

TEST(PilotmanagerEngine, TheSimulatedCableWaitsInSimulatedTimeForTheFirstByte) {
    Engine e;
    ASSERT_EQ(e.manager->OpenPort("COM1"), 0);
    TCommPort& port = *e.manager->Port();
    uint64_t start = e.clock.NowNs();
    EXPECT_FALSE(port.WaitForInput(300));
    EXPECT_EQ(e.clock.NowNs() - start, uint64_t{300'000'000});

    TSLK slk(&port);
    ASSERT_EQ(slk.SLKSendPacket(1, 0, 0, nullptr), 0);  // the loader's version query
    start = e.clock.NowNs();
    EXPECT_TRUE(port.WaitForInput(500));
    EXPECT_GT(e.clock.NowNs() - start, uint64_t{0});
    EXPECT_LT(e.clock.NowNs() - start, uint64_t{500'000'000});
    EXPECT_EQ(port.BytesAvailable(), 1u) << "woken by the first byte, not later";
}

// The window that shows an update must repaint and answer its abort button throughout; the
// engine hands it the thread while it waits on the line or sends a block, and that costs the
// update no time on the line.
TEST(PilotmanagerEngine, AFrontEndHasTheThreadEvery40MsOfAnUpdateAtNoCostInTime) {
    std::vector<uint8_t> loader = Pattern(3000, 111);
    const uint8_t mark[] = {0xFA, 0xAB, 0xF0, 0x0D};
    std::copy(std::begin(mark), std::end(mark), loader.begin() + 100);
    UpdPlan plan;
    plan.minor = 2;
    plan.os = {{0, Pattern(0x20000, 112), {}}};
    plan.ram = {{0x80000, Pattern(9000, 113)}};
    TempFile file(BuildUpd(plan));

    uint64_t took[2] = {};
    for (const bool pumping : {false, true}) {
        SCOPED_TRACE(pumping);
        HandheldConfig config;  // in the ROM debugger: every kind of wait on the way
        config.hardwareId = 6;
        Engine e(config);
        e.manager->Options().advancedMode = true;
        e.manager->Options().highSpeed = true;
        std::vector<uint64_t> handedAt;
        if (pumping) e.callback.SetIdleHook([&] { handedAt.push_back(e.clock.NowNs()); });

        const uint64_t start = e.clock.NowNs();
        ASSERT_EQ(e.manager->OpenPort("COM3"), 0);
        ASSERT_EQ(e.manager->ConnectDebugger(), 0);
        const auto size = static_cast<uint32_t>(loader.size());
        ASSERT_EQ(e.manager->UploadLoader(loader.data(), size, size), 0);
        ASSERT_EQ(e.manager->StartLoader(), 0);
        ASSERT_EQ(e.manager->EraseRamStore(), 0);
        ASSERT_EQ(e.manager->FlashOsImage(Read(file.Path())), 0);
        ASSERT_EQ(e.manager->InstallRamImage(Read(file.Path())), 0);
        ASSERT_EQ(e.manager->Disconnect(), 0);
        const uint64_t end = e.clock.NowNs();
        took[pumping] = end - start;
        EXPECT_TRUE(std::equal(plan.os[0].data.begin(), plan.os[0].data.end(), e.Flash().begin()));

        if (!pumping) continue;
        uint64_t longest = 0, from = start;
        for (uint64_t at : handedAt) {
            longest = std::max(longest, at - from);
            from = at;
        }
        longest = std::max(longest, end - from);
        // The period, and what the link's millisecond clock and a packet's header add to it.
        EXPECT_LE(longest, uint64_t{50'000'000});
    }
    EXPECT_GT(took[0], uint64_t{10'000'000'000}) << "paced: 128 KiB take seconds on the line";
    EXPECT_LE(took[1], took[0] + took[0] / 1000);
}

}  // namespace
