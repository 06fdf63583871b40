// Updates cut short, and the run that finishes them. The line dies after every number of
// packets an update sends (so at every stage: the loader upload, the RAM-store erase, each
// section, each finalisation write), or the user aborts; a second run on the same handheld
// must leave its flash exactly as one uninterrupted update does.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link/UpdateProcedure.h"
#include "link/tests/EngineFixture.h"
#include "sim/Bootlet.h"

namespace {

using namespace engine;

// Says yes, and does not wait for a handheld that does not answer.
class HastyUi final : public UpdateUi {
public:
    void Progress(UpdateStage) override {}
    bool Ask(UpdateQuestion, const UpdateFacts&) override { return true; }
    void Refuse(UpdateRefusal, const UpdateFacts&) override {}
    void ReportHandheld(const UpdateFacts&) override {}
    bool KeepWaiting(UpdateStage) override { return false; }
    bool StopRequested() override { return false; }
};

struct RunResult {
    UpdateOutcome outcome;
    std::vector<uint8_t> flash;
    std::vector<uint8_t> ram;
    HandheldMode mode;  // where the handheld is left: its loader still running or not
    uint32_t packets;
    uint32_t lineSpeed;  // what the handheld listens at afterwards
};

// One run of the whole update on a handheld of `config` whose memory is `before` (a fresh
// one when empty).
RunResult RunUpdate(HandheldConfig config, const RunResult* before, bool advanced, const char* file,
                    std::optional<size_t> abortAtReport = {}, bool highSpeed = false) {
    if (before) config.lineSpeed = before->lineSpeed;
    Engine e(config);
    if (before) {
        e.Flash() = before->flash;
        e.Ram() = before->ram;
    }
    e.manager->Options().advancedMode = advanced;
    e.manager->Options().highSpeed = highSpeed;
    e.callback.abortAtReport = abortAtReport;
    HastyUi ui;
    UpdateProcedure update(*e.manager, ui, file);
    const std::vector<uint8_t> loader = BuildBootletPrc();
    const auto size = static_cast<uint32_t>(loader.size());
    const UpdateOutcome outcome = update.Run("COM1", loader.data(), size, size);
    return {outcome,
            e.Flash(),
            e.Ram(),
            e.handheld.Mode(),
            e.handheld.PacketsReceived(),
            e.handheld.LineSpeed()};
}

HandheldConfig InMode(HandheldMode mode, uint32_t hangUpAfter = 0) {
    HandheldConfig config;
    config.mode = mode;
    config.faults.hangUpAfterPackets = hangUpAfter;
    return config;
}

// The file: an OS with a flash store to finalise, and RAM data for advanced mode.
UpdPlan StoreOs() {
    UpdPlan plan;
    plan.minor = 3;
    plan.os = OsWithStore().sections;
    plan.ram = {{0x20000, Pattern(3000, 21)}};
    return plan;
}

// The next run is the one the tool advises: normal mode once the loader runs, at the speed
// the user chooses, whatever speed the run cut short left the loader at.
void CutShortAtEveryPacket(HandheldMode start, bool advanced, bool highSpeed = false) {
    const TempFile file(BuildUpd(StoreOs()));
    const RunResult whole = RunUpdate(InMode(start), nullptr, advanced, file.Path(), {}, highSpeed);
    ASSERT_TRUE(whole.outcome.Done()) << whole.outcome.code;
    ASSERT_GT(whole.packets, 20u);

    for (uint32_t n = 1; n < whole.packets; ++n) {
        SCOPED_TRACE("the line dies after packet " + std::to_string(n));
        const RunResult cut =
            RunUpdate(InMode(start, n), nullptr, advanced, file.Path(), {}, highSpeed);
        if (cut.outcome.Done()) {
            // Only the goodbye was lost: the update itself is whole.
            EXPECT_EQ(cut.flash, whole.flash);
            continue;
        }
        // The loader, once it runs, is never told to leave a half-written handheld; the next
        // run reaches it in normal mode. Before that, the handheld is still in its debugger.
        const bool loaderRuns = cut.mode == HandheldMode::Loader;
        const RunResult again = RunUpdate(InMode(cut.mode), &cut, !loaderRuns, file.Path());
        ASSERT_TRUE(again.outcome.Done()) << again.outcome.code;
        ASSERT_EQ(again.flash, whole.flash);
    }
}

TEST(UpdateRecovery, NormalModeCutShortAtEveryPacketIsFinishedByTheNextRun) {
    CutShortAtEveryPacket(HandheldMode::Loader, false);
}

TEST(UpdateRecovery, AdvancedModeCutShortAtEveryPacketIsFinishedByTheNextRun) {
    CutShortAtEveryPacket(HandheldMode::RomDebugger, true);
}

TEST(UpdateRecovery, AHighSpeedUpdateCutShortAtEveryPacketIsFinishedByTheNextRun) {
    CutShortAtEveryPacket(HandheldMode::RomDebugger, true, true);
}

TEST(UpdateRecovery, AnAbortedFlashLeavesTheLoaderRunningForTheNextRun) {
    const TempFile file(BuildUpd(StoreOs()));
    const RunResult whole = RunUpdate(InMode(HandheldMode::Loader), nullptr, false, file.Path());
    ASSERT_TRUE(whole.outcome.Done());
    for (size_t report : {1u, 3u, 8u, 17u}) {
        SCOPED_TRACE("aborted at progress report " + std::to_string(report));
        const RunResult aborted =
            RunUpdate(InMode(HandheldMode::Loader), nullptr, false, file.Path(), report);
        EXPECT_EQ(aborted.outcome.code, rc::FlashAborted);
        EXPECT_EQ(aborted.mode, HandheldMode::Loader);
        const RunResult again =
            RunUpdate(InMode(HandheldMode::Loader), &aborted, false, file.Path());
        ASSERT_TRUE(again.outcome.Done()) << again.outcome.code;
        EXPECT_EQ(again.flash, whole.flash);
        EXPECT_EQ(again.mode, HandheldMode::Os) << "a finished update lets the loader go";
    }
}

TEST(UpdateRecovery, AFinishedUpdateRunAgainChangesNothing) {
    const TempFile file(BuildUpd(StoreOs()));
    const RunResult whole = RunUpdate(InMode(HandheldMode::Loader), nullptr, false, file.Path());
    ASSERT_TRUE(whole.outcome.Done());
    const RunResult again = RunUpdate(InMode(HandheldMode::Loader), &whole, false, file.Path());
    ASSERT_TRUE(again.outcome.Done()) << again.outcome.code;
    EXPECT_EQ(again.flash, whole.flash);
}

}  // namespace
