// The last two pages: the final HotSync page watching the restoring HotSync start and end,
// and the finish page's picture and text by mode.
#include <gtest/gtest.h>

#include "app/FinalHotsyncForm.h"
#include "app/FinishForm.h"
#include "app/PageControls.h"
#include "app/ResetForm.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "app/tests/FakePageUi.h"
#include "base/MemoryRegistry.h"
#include "hotsync/tests/FakeDesktop.h"
#include "link/Guicallback.h"
#include "link/Pilotmanager.h"
#include "testing/FakeSerialEdge.h"

namespace {

const std::string kHotSyncExe = "C:\\Palm\\HotSync.exe";
const std::string kRoot = "Software\\Palm Computing\\Pilot Desktop\\";
const std::string kNotifier = "C:\\Kit\\kvrnotify.dll";
using State = TFinalHotsyncForm::State;

struct NoBoxes final : MessageBoxEdge {
    int Show(const char*, const char*, unsigned) override { return mb::IdOk; }
};

class FinalHotsyncTest : public ::testing::Test {
protected:
    FinalHotsyncTest() {
        registry.SetText(kRoot + "Core", "HotSyncPath", kHotSyncExe);
        registry.SetText(kRoot + "HotSync Manager", "Notifier0", "C:\\Other\\theirs.dll");
        world->files = {kHotSyncExe, kNotifier};
        manager = std::make_unique<THotSyncManager>(
            registry.Edge(), std::make_unique<FakeDesktop>(world), std::make_unique<NoBoxes>());
        // The HotSync page registered the loader's notifier earlier in the run.
        manager->RegisterNotifier(kNotifier);
        form = std::make_unique<TFinalHotsyncForm>(ui, *manager, link);
    }
    // What the page shows: the one visible status line, the running timers, Next.
    void ExpectShows(int statusLine, std::map<int, unsigned> timers, bool next) {
        for (int line : {IDC_FINAL_PERFORM, IDC_FINAL_WAITING, IDC_FINAL_CLICK_NEXT})
            EXPECT_EQ(ui.hidden.count(line) == 0, line == statusLine) << "status line " << line;
        EXPECT_EQ(ui.timers, timers);
        EXPECT_EQ(ui.disabled.count(IDC_PAGE_NEXT) == 0, next);
    }

    MemoryRegistry registry;
    std::shared_ptr<DesktopWorld> world = std::make_shared<DesktopWorld>();
    std::unique_ptr<THotSyncManager> manager;
    GuiCallback callback;
    TPilotManager link{&callback, std::make_unique<FakeSerialEdge>()};
    FakePageUi ui;
    std::unique_ptr<TFinalHotsyncForm> form;
};

TEST_F(FinalHotsyncTest, EntryUnstagesTheLoaderStartsHotSyncManagerAndWaits) {
    form->Activate();
    EXPECT_FALSE(registry.Value(kRoot + "HotSync Manager", "Notifier1"));
    EXPECT_TRUE(registry.Value(kRoot + "HotSync Manager", "Notifier0")) << "not ours";
    EXPECT_TRUE(world->HasWindow(hotsync::kMainTitle));
    EXPECT_EQ(ui.pictures.at(IDC_FINAL_PICTURE), PageUi::Picture::Device);
    EXPECT_EQ(form->Current(), State::Waiting);
    ExpectShows(IDC_FINAL_PERFORM, {{TFinalHotsyncForm::StartDetection, 100}}, false);
}

TEST_F(FinalHotsyncTest, TheHotSyncIsSeenToStartThenToEnd) {
    form->Activate();
    form->Timer(TFinalHotsyncForm::StartDetection);
    EXPECT_EQ(form->Current(), State::Waiting) << "nothing in progress yet";

    world->syncStatus = 0xFFFFFFFF;
    world->OpenWindow(hotsync::kProgressTitle);
    form->Timer(TFinalHotsyncForm::FinishDetection);
    EXPECT_EQ(form->Current(), State::Waiting) << "a stale finish tick is ignored";
    form->Timer(TFinalHotsyncForm::StartDetection);
    EXPECT_EQ(form->Current(), State::Running);
    ExpectShows(IDC_FINAL_WAITING, {{TFinalHotsyncForm::FinishDetection, 100}}, false);
    EXPECT_EQ(world->events.back(), "top HotSync Progress") << "brought into sight";

    form->Timer(TFinalHotsyncForm::FinishDetection);
    EXPECT_EQ(form->Current(), State::Running);
    world->syncStatus = 0;
    world->CloseWindow(hotsync::kProgressTitle);
    form->Timer(TFinalHotsyncForm::FinishDetection);
    EXPECT_EQ(form->Current(), State::Done);
    ExpectShows(IDC_FINAL_CLICK_NEXT, {}, true);
}

TEST_F(FinalHotsyncTest, SkipAndNextGoToTheFinishPageInAnyState) {
    for (int button : {IDC_FINAL_SKIP, IDC_PAGE_NEXT}) {
        ui = FakePageUi();
        form->Activate();
        form->Command(button);
        EXPECT_TRUE(ui.timers.empty());
        EXPECT_TRUE(ui.hidden.count(IDC_FINAL_PICTURE));
        EXPECT_EQ(ui.events.back(), "send show " + std::to_string(page::Finish));
    }
    form->Command(IDC_PAGE_CANCEL);
    EXPECT_EQ(ui.events.back(), "post close");
}

TEST(FinishForm, PictureAndTextByModeAndTheFirstPictureIsKept) {
    GuiCallback callback;
    TPilotManager link(&callback, std::make_unique<FakeSerialEdge>());
    win32_cfg_type settings;
    FakePageUi ui;
    TFinishForm page(ui, settings, link);

    page.Activate();
    EXPECT_EQ(ui.pictures.at(IDC_FINISH_PICTURE), PageUi::Picture::ResetPrompt);
    EXPECT_TRUE(ui.hidden.count(IDC_FINISH_SHORT));
    EXPECT_FALSE(ui.hidden.count(IDC_FINISH_LONG));

    settings.advancedMode = true;
    page.Activate();
    EXPECT_EQ(ui.pictures.at(IDC_FINISH_PICTURE), PageUi::Picture::ResetPrompt);
    EXPECT_FALSE(ui.hidden.count(IDC_FINISH_SHORT));
    EXPECT_TRUE(ui.hidden.count(IDC_FINISH_LONG));

    FakePageUi fresh;
    TFinishForm advanced(fresh, settings, link);
    advanced.Activate();
    EXPECT_EQ(fresh.pictures.at(IDC_FINISH_PICTURE), PageUi::Picture::Device);
    advanced.Command(IDC_FINISH_FINISH);
    advanced.CloseBox();
    EXPECT_EQ(fresh.events, (std::vector<std::string>{"close main", "post close"}));
}

TEST(ResetForm, BlinksWhileShownAndHidesItsPictureOnTheWayOut) {
    FakePageUi ui;
    TResetForm page(ui);
    page.Activate();
    EXPECT_EQ(ui.timers.at(TResetForm::Blink), 250u);
    page.Timer(TResetForm::Blink);
    page.Timer(TResetForm::Blink);
    page.Timer(TResetForm::Blink);
    EXPECT_EQ(ui.cursors, (std::vector<std::pair<int, bool>>{{IDC_RESET_PAINTBOX, true},
                                                             {IDC_RESET_PAINTBOX, false},
                                                             {IDC_RESET_PAINTBOX, true}}));
    page.Hidden();
    EXPECT_TRUE(ui.timers.empty());
    for (int button : {IDC_PAGE_NEXT, IDC_PAGE_BACK}) {
        page.Activate();
        page.Command(button);
        EXPECT_TRUE(ui.hidden.count(IDC_RESET_PAINTBOX));
    }
    page.Command(IDC_PAGE_CANCEL);
    page.CloseBox();
    EXPECT_EQ(ui.events, (std::vector<std::string>{"send show " + std::to_string(page::Connection),
                                                   "send prev", "post close", "post close"}));
}

}  // namespace
