// The update procedure's decisions, one table per rule: which devices it serves, the order of
// its steps in both modes, every refusal (and that a refused handheld is left untouched),
// and how its waits end. The handheld is the simulated one, in simulated time.
#include "link/UpdateProcedure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <vector>

#include "link/CommPort.h"
#include "link/tests/EngineFixture.h"
#include "sim/Bootlet.h"

namespace {

using namespace engine;

TEST(UpdateRules, SupportedDevices) {
    struct Row {
        uint8_t code;
        bool supported;
        const char* catches;
    };
    const Row rows[] = {
        {6, true, "the smallest supported code"},
        {7, true, "a code between"},
        {11, true, "the palmsim default"},
        {15, true, "the largest supported code"},
        {0, false, "a device type the loader could not tell"},
        {10, false, "a neighbour of a supported code"},
        {2, false, "the 2/4 family is no Halvex family"},
        {255, false, "the top of the byte"},
    };
    for (const Row& r : rows) EXPECT_EQ(IsSupportedDevice(r.code), r.supported) << r.catches;
}

TEST(UpdateRules, DeviceFamilies) {
    struct Row {
        uint8_t handheld;
        uint8_t file;
        bool matches;
        const char* catches;
    };
    const Row rows[] = {
        {11, 11, true, "the same model"},
        {11, 7, false, "two supported models are not one"},
        {2, 4, true, "2 and 4 are one family"},
        {4, 2, true, "either way round"},
        {2, 2, true, "within the family"},
        {2, 3, false, "the family has two members only"},
        {0, 0, true, "an unknown handheld matches a file of the same unknown code"},
    };
    for (const Row& r : rows) EXPECT_EQ(DeviceMatches(r.handheld, r.file), r.matches) << r.catches;
}

// A UI that records everything and answers as the test says.
class ScriptedUi final : public UpdateUi {
public:
    void Progress(UpdateStage stage) override { stages.push_back(stage); }
    bool Ask(UpdateQuestion question, const UpdateFacts& f) override {
        asked.push_back(question);
        facts = f;
        return answer;
    }
    void Refuse(UpdateRefusal refusal, const UpdateFacts& f) override {
        refused.push_back(refusal);
        facts = f;
    }
    void ReportHandheld(const UpdateFacts& f) override {
        ++reports;
        facts = f;
    }
    bool KeepWaiting(UpdateStage) override {
        ++waits;
        if (stopAfterWaits && waits >= *stopAfterWaits) stop = true;
        return !stop && waits < mostWaits;
    }
    bool StopRequested() override { return stop; }

    bool answer = false;
    int mostWaits = 3;
    std::optional<int> stopAfterWaits;
    bool stop = false;

    std::vector<UpdateStage> stages;
    std::vector<UpdateQuestion> asked;
    std::vector<UpdateRefusal> refused;
    int reports = 0;
    int waits = 0;
    UpdateFacts facts;
};

// A small OS of two sections for device 11, and RAM data when asked for.
UpdPlan SmallOs(uint16_t device = 11, bool ramData = false) {
    UpdPlan plan;
    plan.minor = 2;  // no flash store to finalise
    plan.device = device;
    plan.os = {{0, Pattern(5000, 1), {}}, {0x10000, Pattern(4096, 2), {}}};
    if (ramData) plan.ram = {{0x20000, Pattern(1000, 3)}};
    return plan;
}

// One update session: a handheld, the engine on its cable, a file and the procedure, with the RAM
// filled so that any write to it shows.
struct Session {
    explicit Session(const UpdPlan& plan, HandheldConfig config = LoaderRunning(),
                     bool advanced = false)
        : e(config), file(BuildUpd(plan)), update(*e.manager, ui, file.Path()) {
        e.manager->Options().advancedMode = advanced;
        std::fill(e.Ram().begin(), e.Ram().end(), uint8_t{0x5A});
        flashBefore = e.Flash();
        ramBefore = e.Ram();
    }

    UpdateOutcome Go() {
        const std::vector<uint8_t> loader = BuildBootletPrc();
        return update.Run("COM1", loader.data(), static_cast<uint32_t>(loader.size()),
                          static_cast<uint32_t>(loader.size()));
    }
    bool Untouched() { return e.Flash() == flashBefore && e.Ram() == ramBefore; }
    bool FlashHolds(const UpdPlan& plan) {
        for (const OsPart& part : plan.os)
            if (!std::equal(part.data.begin(), part.data.end(), e.Flash().begin() + part.offset))
                return false;
        return true;
    }

    Engine e;
    TempFile file;
    ScriptedUi ui;
    UpdateProcedure update;
    std::vector<uint8_t> flashBefore, ramBefore;
};

using S = UpdateStage;

TEST(UpdateProcedure, NormalModeStepsInOrderAndTheLoaderLeavesAtTheEnd) {
    const UpdPlan plan = SmallOs();
    Session run(plan);
    const UpdateOutcome outcome = run.Go();
    EXPECT_TRUE(outcome.Done()) << outcome.code;
    EXPECT_EQ(run.ui.stages, (std::vector<S>{S::OpeningPort, S::WaitingForLoader,
                                             S::ErasingRamStore, S::FlashingOs}));
    EXPECT_TRUE(run.ui.asked.empty());
    EXPECT_EQ(run.ui.reports, 1);
    EXPECT_EQ(run.ui.facts.handheldDevice, 11);
    EXPECT_EQ(run.ui.facts.flashCapacity, 0x400000u);
    EXPECT_TRUE(run.FlashHolds(plan));
    EXPECT_EQ(run.e.handheld.Mode(), HandheldMode::Os);
}

TEST(UpdateProcedure, AdvancedModeSendsTheLoaderAndWritesTheRamData) {
    const UpdPlan plan = SmallOs(11, true);
    HandheldConfig inDebugger;
    Session run(plan, inDebugger, true);
    const UpdateOutcome outcome = run.Go();
    EXPECT_TRUE(outcome.Done()) << outcome.code;
    EXPECT_EQ(run.ui.stages, (std::vector<S>{S::OpeningPort, S::WaitingForDebugger,
                                             S::SendingLoader, S::WaitingForLoader,
                                             S::ErasingRamStore, S::FlashingOs, S::InstallingRam}));
    EXPECT_TRUE(run.ui.asked.empty()) << "advanced mode asks nothing";
    EXPECT_TRUE(run.FlashHolds(plan));
    const auto& ram = plan.ram[0];
    EXPECT_TRUE(std::equal(ram.data.begin(), ram.data.end(), run.e.Ram().begin() + ram.address));
}

TEST(UpdateProcedure, RefusalsLeaveTheHandheldAsItWas) {
    HandheldConfig weakBattery = LoaderRunning();
    weakBattery.battery = 19;
    HandheldConfig otherMaker;  // hardware id 1: device type 1, in its ROM debugger
    otherMaker.hardwareId = 1;
    UpdPlan tooBig = SmallOs();
    tooBig.os.push_back({0x3FF000, Pattern(0x1001, 4), {}});
    UpdPlan partial = SmallOs();
    partial.os.push_back({0x21000, Pattern(100, 5), {}});
    UpdPlan damaged = SmallOs();
    UpdPlan ramInFlash = SmallOs(11, true);
    ramInFlash.ram[0].address = 0x10C00000;
    struct Row {
        const char* what;
        UpdPlan plan;
        HandheldConfig handheld;
        bool advanced;
        bool answer;
        bool breakCrc;
        TResult code;
        std::optional<UpdateRefusal> refusal;
        bool loaderKept;  // still running afterwards, for another run
    };
    constexpr auto none = std::nullopt;
    const Row rows[] = {
        {"file for another maker", SmallOs(3), LoaderRunning(), false, true, false, 0,
         UpdateRefusal::FileNotForHalvex, true},
        {"device code 267 is no 11", SmallOs(267), LoaderRunning(), false, true, false, 0,
         UpdateRefusal::FileNotForHalvex, true},
        {"damaged file", damaged, LoaderRunning(), false, true, true, rc::UpdateCrcError, none,
         true},
        {"another model, the user says no", SmallOs(7), LoaderRunning(), false, false, false, 0,
         UpdateRefusal::DeviceMismatch, true},
        {"another maker's handheld", SmallOs(), otherMaker, true, true, false, 0,
         UpdateRefusal::UnsupportedHandheld, false},
        {"OS one byte too big", tooBig, LoaderRunning(), false, true, false, 0,
         UpdateRefusal::ImageTooBig, false},
        {"a section inside an erase block", partial, LoaderRunning(), false, true, false,
         rc::PartialSector, none, false},
        {"battery at 19 %", SmallOs(), weakBattery, false, true, false, rc::BatteryLow, none,
         false},
        {"RAM data left out, the user says no", SmallOs(11, true), LoaderRunning(), false, false,
         false, rc::UserAbort, none, false},
        {"RAM data in the flash window", ramInFlash, HandheldConfig{}, true, true, false,
         rc::RamOutside, none, false},
    };
    for (const Row& r : rows) {
        Session run(r.plan, r.handheld, r.advanced);
        run.ui.answer = r.answer;
        if (r.breakCrc) {
            std::vector<uint8_t> bytes = BuildUpd(r.plan);
            bytes.back() ^= 1;
            std::ofstream(run.file.Path(), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
        const UpdateOutcome outcome = run.Go();
        EXPECT_EQ(outcome.code, r.code) << r.what;
        EXPECT_EQ(outcome.refused, r.refusal.has_value()) << r.what;
        if (r.refusal) {
            EXPECT_EQ(outcome.refusal, *r.refusal) << r.what;
            EXPECT_EQ(run.ui.refused, std::vector<UpdateRefusal>{*r.refusal}) << r.what;
        }
        EXPECT_TRUE(run.Untouched() || r.advanced) << r.what;
        EXPECT_EQ(run.e.Flash(), run.flashBefore) << r.what;
        const bool loaderRuns = run.e.handheld.Mode() == HandheldMode::Loader;
        if (!r.advanced) {
            EXPECT_EQ(loaderRuns, r.loaderKept) << r.what;
        }
    }
}

TEST(UpdateProcedure, FileChecksComeBeforeThePortIsOpened) {
    Session run(SmallOs(3));
    EXPECT_TRUE(run.update.CheckFile().refused);
    EXPECT_TRUE(run.ui.stages.empty());
    EXPECT_EQ(run.e.handheld.PacketsReceived(), 0u);
}

TEST(UpdateProcedure, AnotherModelFlashedWhenTheUserSaysYes) {
    const UpdPlan plan = SmallOs(7);
    Session run(plan);
    run.ui.answer = true;
    EXPECT_TRUE(run.Go().Done());
    EXPECT_EQ(run.ui.asked, std::vector<UpdateQuestion>{UpdateQuestion::FlashOtherDevice});
    EXPECT_EQ(run.ui.facts.fileDevice, 7);
    EXPECT_TRUE(run.FlashHolds(plan));
}

TEST(UpdateProcedure, RamDataLeftOutInNormalModeWhenTheUserAgrees) {
    const UpdPlan plan = SmallOs(11, true);
    Session run(plan);
    run.ui.answer = true;
    EXPECT_TRUE(run.Go().Done());
    EXPECT_EQ(run.ui.asked, std::vector<UpdateQuestion>{UpdateQuestion::FlashWithoutRamData});
    EXPECT_EQ(run.ui.facts.ramSize, 1000u);
    EXPECT_EQ(run.e.Ram()[plan.ram[0].address], 0x5A) << "the RAM data stays out";
}

TEST(UpdateProcedure, RamDataTheHandheldDidNotKeepIsNoSuccess) {
    // Below the flash, but past the 1 MiB of RAM this handheld has: the writes are
    // acknowledged and lost, which only the checksum afterwards tells.
    UpdPlan plan = SmallOs(11, true);
    plan.ram[0].address = 0x200000;
    HandheldConfig inDebugger;
    Session run(plan, inDebugger, true);
    const UpdateOutcome outcome = run.Go();
    EXPECT_EQ(outcome.code, rc::RamOutside);
    EXPECT_TRUE(run.FlashHolds(plan));
    EXPECT_EQ(run.e.handheld.Mode(), HandheldMode::Loader) << "the loader waits for another run";
}

TEST(UpdateProcedure, WaitsEndWhenTheUiStopsWaitingOrTheUserStops) {
    HandheldConfig silent = LoaderRunning();
    silent.faults.silentLoader = true;
    struct Row {
        const char* what;
        std::optional<int> stopAfterWaits;
        TResult code;
        int waits;
    };
    const Row rows[] = {
        {"the time is up: the last attempt's code", {}, rc::CommTimeout, 3},
        {"the user stops: a user abort", 2, rc::UserAbort, 2},
    };
    for (const Row& r : rows) {
        Session run(SmallOs(), silent);
        run.ui.stopAfterWaits = r.stopAfterWaits;
        EXPECT_EQ(run.Go().code, r.code) << r.what;
        EXPECT_EQ(run.ui.waits, r.waits) << r.what;
        EXPECT_TRUE(run.Untouched()) << r.what;
    }
}

// Before the first write the whole file is read and checked more than once, a big file for a
// good part of a second: a front end bound to the port's idle gets the thread all through, as
// in a wait.
TEST(UpdateProcedure, ReadingTheFileHandsTheThreadOver) {
    UpdPlan plan = SmallOs();
    constexpr uint32_t kBytes = 0x100000;
    plan.os = {{0, Pattern(kBytes, 1), {}}};
    constexpr int kPieces = kBytes / 32768;  // the turns of one read of the whole file
    Session run(plan);
    int turns = 0;
    run.e.callback.SetIdleHook([&] { ++turns; });
    // Time passes as the file is read: each look at the clock half the port's interval, so
    // that every hand-over it offers falls due.
    run.e.clock.SetAutoAdvanceNs(uint64_t{TCommPort::kIdleEveryMs} * 1'000'000 / 2);
    ASSERT_TRUE(run.update.CheckFile().Done());
    EXPECT_GE(turns, 2 * kPieces) << "the integrity check and the sections' checksums";
    ASSERT_TRUE(run.update.Connect("COM1", nullptr, 0, 0).Done());
    turns = 0;
    ASSERT_TRUE(run.update.CheckHandheld().Done());
    // Judged once: the bytes in memory are read for the sizes and the map, not the file again.
    EXPECT_GE(turns, 3 * kPieces) << "the size queries and the map";
    run.e.clock.SetAutoAdvanceNs(0);
    run.e.callback.SetIdleHook(nullptr);
}

TEST(UpdateProcedure, AStopBeforeTheFirstWriteTouchesNothing) {
    Session run(SmallOs());
    ASSERT_TRUE(run.update.CheckFile().Done());
    ASSERT_TRUE(run.update.Connect("COM1", nullptr, 0, 0).Done());
    run.ui.stop = true;
    const UpdateOutcome outcome = run.update.CheckHandheld();
    EXPECT_EQ(outcome.code, rc::UserAbort);
    run.update.Finish(outcome);
    EXPECT_TRUE(run.Untouched());
}

}  // namespace

namespace {

void Overwrite(const char* path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

// The file on disk changes after it was judged (a download finishing, an editor saving): the
// handheld gets the bytes that were judged, byte for byte, whether the judgement came before
// the port opened (kestrel-flash) or once the loader answered (the wizard).
TEST(UpdateProcedure, WhatWasJudgedIsWhatGetsWritten) {
    const UpdPlan judged = SmallOs(11, true);
    UpdPlan other = SmallOs(11, true);
    other.os = {{0, Pattern(9000, 7), {}}, {0x30000, Pattern(4096, 8), {}}};
    other.ram = {{0x30000, Pattern(2000, 9)}};
    std::vector<uint8_t> damaged = BuildUpd(judged);
    damaged.resize(damaged.size() / 2);
    struct Row {
        const char* what;
        std::vector<uint8_t> replacement;  // empty: the file is removed
        bool judgedBeforeThePort;
    };
    const Row rows[] = {
        {"another valid file", BuildUpd(other), true},
        {"a damaged file", damaged, true},
        {"the file removed", {}, true},
        {"another valid file, judged on connecting", BuildUpd(other), false},
        {"a damaged file, judged on connecting", damaged, false},
    };
    HandheldConfig inDebugger;
    Session reference(judged, inDebugger, true);
    ASSERT_TRUE(reference.Go().Done());
    for (const Row& r : rows) {
        Session run(judged, inDebugger, true);
        const auto replace = [&] {
            if (r.replacement.empty())
                std::filesystem::remove(run.file.Path());
            else
                Overwrite(run.file.Path(), r.replacement);
        };
        if (r.judgedBeforeThePort) {
            ASSERT_TRUE(run.update.CheckFile().Done()) << r.what;
        }
        const std::vector<uint8_t> loader = BuildBootletPrc();
        const auto size = static_cast<uint32_t>(loader.size());
        ASSERT_TRUE(run.update.Connect("COM1", loader.data(), size, size).Done()) << r.what;
        if (r.judgedBeforeThePort) replace();
        ASSERT_TRUE(run.update.CheckHandheld().Done()) << r.what;
        if (!r.judgedBeforeThePort) replace();

        const UpdateOutcome outcome = run.update.Write();
        run.update.Finish(outcome);
        EXPECT_TRUE(outcome.Done()) << r.what << ": " << outcome.code;
        EXPECT_TRUE(run.e.Flash() == reference.e.Flash()) << r.what;
        EXPECT_TRUE(run.e.Ram() == reference.e.Ram()) << r.what;
    }
}

// Each row once ended in "done" with the handheld not as the file says, or failed only after
// the erase, the same way on every run. Now every one is refused before anything is erased,
// or fails in a way that says the update is unfinished.
TEST(UpdateProcedure, NoWrongSuccessAndNoFailureAfterTheEraseThatTheFileForetold) {
    const auto storeOs = [](Store store = {}) {
        std::vector<uint8_t> image = OsWithStore().image;
        LayStore(image, store);
        UpdPlan plan;
        plan.minor = 3;
        plan.os = {{0, Slice(image, 0, 0x10000), {}}, {kOmg, Slice(image, kOmg, 0x1000), {}}};
        return plan;
    };
    const auto stuck = [](uint32_t block) {
        HandheldConfig config = LoaderRunning();
        config.faults.stuckBlocks = {block};
        return config;
    };
    UpdPlan ramOnly = SmallOs(11, true);
    ramOnly.os.clear();
    UpdPlan noVector = storeOs();
    noVector.os.erase(noVector.os.begin());  // the OMG page alone: the vector stays the handheld's
    UpdPlan storeOutside = storeOs(Store{.diskStart = 0x01000000});  // 0x11000000: the end
    UpdPlan storeInUse = storeOs();
    storeInUse.os[1].data[52] = 0x00;  // the OMG's chip count, which the store would write
    struct Row {
        const char* what;
        UpdPlan plan;
        HandheldConfig handheld;
        bool advanced;
        TResult code;
        bool untouched;  // refused before the RAM store is erased
    };
    const Row rows[] = {
        {"the heap header's block ignores writes", storeOs(), stuck(0x30000), false,
         rc::RomVaultError, false},
        {"the end-of-flash word's block ignores writes", storeOs(), stuck(0x3F0000), false,
         rc::RomVaultError, false},
        {"no OS sections in normal mode", ramOnly, LoaderRunning(), false, rc::NoOsInFile, true},
        {"no OS and no RAM data in advanced mode", UpdPlan{}, HandheldConfig{}, true,
         rc::NoOsInFile, true},
        {"the reset vector left to a blank handheld", noVector, LoaderRunning(), false,
         rc::BadResetVector, true},
        {"a flash store starting at the end of the flash", storeOutside, LoaderRunning(), false,
         rc::StoreOutsideFlash, true},
        {"a store page the file fills", storeInUse, LoaderRunning(), false, rc::FlashStoreNotBlank,
         true},
    };
    for (const Row& r : rows) {
        Session run(r.plan, r.handheld, r.advanced);
        const UpdateOutcome outcome = run.Go();
        EXPECT_EQ(outcome.code, r.code) << r.what;
        EXPECT_EQ(run.Untouched(), r.untouched) << r.what;
        // After the erase the loader stays for the run that finishes the update.
        EXPECT_EQ(run.e.manager->UpdateUnfinished(), !r.untouched) << r.what;
    }

    // Advanced mode installs the RAM data of a file without an OS, and says so.
    Session run(ramOnly, HandheldConfig{}, true);
    EXPECT_TRUE(run.Go().Done());
    EXPECT_EQ(run.update.Facts().osSections, 0);
    EXPECT_EQ(run.e.Flash(), run.flashBefore);
    const auto& ram = ramOnly.ram[0];
    EXPECT_TRUE(std::equal(ram.data.begin(), ram.data.end(), run.e.Ram().begin() + ram.address));
}

// Wherever the line dies before the first write, the user hears of a lost line, never of a
// handheld of another kind.
TEST(UpdateProcedure, ALineThatDiesBeforeTheWritesIsNoOtherHandheld) {
    for (uint32_t n = 1; n < 12; ++n) {
        HandheldConfig config;
        config.faults.hangUpAfterPackets = n;
        Session run(SmallOs(), config, true);
        const UpdateOutcome outcome = run.Go();
        EXPECT_FALSE(outcome.refused) << "the line dies after packet " << n;
        EXPECT_FALSE(outcome.Done()) << "the line dies after packet " << n;
    }
}
