// The HotSync page against the simulated handheld and HotSync Manager in memory: the
// preparation on entry, the HotSync seen to start and end, the loader reached after the reset
// (and again on a second visit), the battery, the fatal link errors and Next.
#include "app/WizardForm.h"

#include <gtest/gtest.h>

#include "app/PageControls.h"
#include "app/WizardFlow.h"
#include "app/tests/PageWorld.h"
#include "base/Exceptions.h"
#include "base/ResultCodes.h"
#include "base/StringIds.h"

namespace {

using Q = FakePageUi::Question;
const std::string kNotifier = "C:\\Kit\\kvrnotify.dll";
const std::string kConduit = "C:\\Kit\\stashmate.dll";

class WizardFormTest : public PageWorld {
protected:
    explicit WizardFormTest(uint8_t battery = 80) : PageWorld(Config(HandheldMode::Os, battery)) {
        InstallPalmDesktop();
        world->files.insert({kNotifier, kConduit});
        registry.SetText(kManagerKey, "DirectComPort", "COM3");
        settings.notifierPath = kNotifier;
        settings.conduitPath = kConduit;
        page = std::make_unique<TWizardForm>(ui, settings, HotSync(), *link, callback,
                                             [this] { ++fileChoices; });
    }
    // The road to state 2: entry, the HotSync button, its end.
    void ThroughTheHotSync() {
        page->Activate();
        HotSyncRuns(true);
        page->Timer(TWizardForm::StartDetection);
        HotSyncRuns(false);
        page->Timer(TWizardForm::FinishDetection);
    }
    // The user resets the handheld: the loader Bootlet installed by the HotSync starts.
    void Reset() { handheld.Reset(HandheldMode::Loader); }
    bool Shows(int control) { return ui.hidden.count(control) == 0; }

    std::unique_ptr<TWizardForm> page;
    int fileChoices = 0;
};

TEST_F(WizardFormTest, EntryRegistersTheNotifierAndConduitAndStartsHotSyncManager) {
    page->Activate();
    EXPECT_EQ(registry.Value(kManagerKey, "Notifier0")->data.size(), kNotifier.size() + 1);
    EXPECT_EQ(registry.Value(kManagerKey, "BackupConduit")->data.size(), kConduit.size() + 1);
    EXPECT_TRUE(world->HasWindow(hotsync::kMainTitle));
    EXPECT_EQ(page->Step(), 0);
    EXPECT_TRUE(Shows(IDC_HS_STATUS_PRESS) && Shows(IDC_HS_HOTSYNC_PANEL));
    EXPECT_FALSE(Shows(IDC_HS_RESET_PANEL));
    EXPECT_EQ(ui.timers, (std::map<int, unsigned>{{TWizardForm::StartDetection, 100}}));
    EXPECT_TRUE(ui.disabled.count(IDC_PAGE_NEXT));
}

TEST_F(WizardFormTest, TheStepsShowWhatIsDoneAndWhatIsNext) {
    struct Expect {
        bool arrow1, check1, arrow2, check2;
        int status;
        int timer;
    };
    const Expect steps[] = {
        {true, false, false, false, IDC_HS_STATUS_PRESS, TWizardForm::StartDetection},
        {true, false, false, false, IDC_HS_STATUS_WAITING, TWizardForm::FinishDetection},
        {false, true, true, false, IDC_HS_STATUS_RESET, TWizardForm::Connect},
    };
    page->Activate();
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step);
        const Expect& e = steps[step];
        EXPECT_EQ(page->Step(), step);
        EXPECT_EQ(Shows(IDC_HS_STEP1_ARROW), e.arrow1);
        EXPECT_EQ(Shows(IDC_HS_STEP1_CHECK), e.check1);
        EXPECT_EQ(Shows(IDC_HS_STEP2_ARROW), e.arrow2);
        EXPECT_EQ(Shows(IDC_HS_STEP2_CHECK), e.check2);
        EXPECT_EQ(ui.bolds.count(IDC_HS_STEP1_LABEL) == 1, e.arrow1);
        EXPECT_EQ(ui.bolds.count(IDC_HS_STEP2_NUMBER) == 1, e.arrow2);
        // The reset panel's picture of the handheld's box, with that panel only.
        EXPECT_EQ(Shows(IDC_HS_PICTURE), e.arrow2);
        EXPECT_EQ(ui.pictures.count(IDC_HS_PICTURE) == 1, step == 2);
        if (step == 2) {
            EXPECT_EQ(ui.pictures.at(IDC_HS_PICTURE), PageUi::Picture::ResetPromptScreen);
        }
        for (int line :
             {IDC_HS_STATUS_PRESS, IDC_HS_STATUS_WAITING, IDC_HS_STATUS_RESET, IDC_HS_STATUS_NEXT})
            EXPECT_EQ(Shows(line), line == e.status);
        ASSERT_EQ(ui.timers.size(), 1u);
        EXPECT_EQ(ui.timers.begin()->first, e.timer);
        if (step == 0) HotSyncRuns(true), page->Timer(TWizardForm::StartDetection);
        if (step == 1) HotSyncRuns(false), page->Timer(TWizardForm::FinishDetection);
    }
}

TEST_F(WizardFormTest, TheConnectTimerRetriesSilentlyUntilTheHandheldIsReset) {
    ThroughTheHotSync();
    for (int attempt = 0; attempt < 3; ++attempt) {
        page->Timer(TWizardForm::Connect);
        EXPECT_EQ(page->Step(), 2);
        EXPECT_EQ(ui.timers.at(TWizardForm::Connect), 250u) << "started again";
    }
    EXPECT_TRUE(ui.asked.empty() && ui.told.empty());
    EXPECT_EQ(cable->OpenedName(), "COM3") << "the port HotSync uses";
    EXPECT_FALSE(world->HasWindow(hotsync::kMainTitle)) << "HotSync Manager gave the port up";

    Reset();
    page->Timer(TWizardForm::Connect);
    EXPECT_EQ(page->Step(), 3);
    EXPECT_EQ(ui.deviceType, 11) << "hardware id 10 is device type 11";
    EXPECT_EQ(ui.focused, IDC_PAGE_NEXT);
    EXPECT_FALSE(ui.disabled.count(IDC_PAGE_NEXT));
    EXPECT_TRUE(ui.timers.empty());
    EXPECT_NE(std::find(ui.events.begin(), ui.events.end(), "beep"), ui.events.end());

    page->Command(IDC_PAGE_NEXT);
    EXPECT_EQ(fileChoices, 1);
}

// An attempt waits some two seconds for a loader that is not there: the page answers all the
// while, and its timer cannot start a second attempt inside the first.
TEST_F(WizardFormTest, TheConnectAttemptKeepsThePageAnswering) {
    ThroughTheHotSync();
    int pumps = 0;
    bool timerRan = false;
    ui.onMessages = [&] {
        ++pumps;
        timerRan = timerRan || ui.timers.count(TWizardForm::Connect) != 0;
    };
    page->Timer(TWizardForm::Connect);
    EXPECT_GE(pumps, 20) << "the page's messages at least every 40 ms";
    EXPECT_FALSE(timerRan);
    EXPECT_EQ(ui.timers.at(TWizardForm::Connect), 250u) << "the next attempt once this one ended";
    EXPECT_FALSE(callback.IdleWanted()) << "the hook is the upload page's to bind after";
}

// Back, Cancel and the close box pressed while an attempt runs are done once it has ended,
// whether the loader answered or not, and no further attempt is started.
TEST_F(WizardFormTest, WhatTheUserAsksDuringAnAttemptIsDoneWhenItEnds) {
    struct Row {
        const char* what;
        int control;  // pressed while the attempt waits; 0: the close box
        bool loaderRuns;
        const char* done;  // the page's last request
    };
    const Row rows[] = {
        {"Back, nobody answering", IDC_PAGE_BACK, false, "send prev"},
        {"Back, the loader answering", IDC_PAGE_BACK, true, "send prev"},
        {"Cancel", IDC_PAGE_CANCEL, false, "post close"},
        {"Cancel, the loader answering", IDC_PAGE_CANCEL, true, "post close"},
        {"the close box", 0, false, "post close"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        handheld.Reset(HandheldMode::Os);
        ThroughTheHotSync();
        if (r.loaderRuns) Reset();
        ui.events.clear();
        bool pressed = false, closeRefused = false;
        ui.onMessages = [&] {
            if (pressed) return;
            pressed = true;
            if (r.control)
                page->Command(r.control);
            else
                page->CloseBox();
            // The main window asks the page when the posted close arrives.
            if (r.control != IDC_PAGE_BACK) closeRefused = !page->CloseQuery();
            EXPECT_TRUE(ui.events.empty() || ui.events.back() != "send prev")
                << "not under the attempt";
        };
        page->Timer(TWizardForm::Connect);
        ui.onMessages = nullptr;
        ASSERT_TRUE(pressed);
        EXPECT_EQ(closeRefused, r.control != IDC_PAGE_BACK);
        EXPECT_EQ(ui.events.back(), r.done);
        EXPECT_TRUE(ui.timers.empty());
        EXPECT_TRUE(ui.asked.empty() && ui.told.empty()) << "no battery or link box";
        EXPECT_EQ(page->Step(), 2);
        EXPECT_TRUE(page->CloseQuery()) << "between attempts the program may end";
    }
}

TEST_F(WizardFormTest, ASecondVisitOpensThePortAgain) {
    ThroughTheHotSync();
    Reset();
    page->Timer(TWizardForm::Connect);
    ASSERT_TRUE(link->IsConnected());
    page->Command(IDC_PAGE_BACK);
    EXPECT_TRUE(ui.timers.empty());
    EXPECT_EQ(ui.events.back(), "send prev");

    handheld.Reset(HandheldMode::Os);
    ThroughTheHotSync();
    EXPECT_FALSE(link->IsConnected()) << "entry closed the link";
    Reset();
    page->Timer(TWizardForm::Connect);
    EXPECT_TRUE(link->IsConnected());
    EXPECT_EQ(page->Step(), 3);
}

TEST_F(WizardFormTest, NextWithoutTheLoaderGoesToTheConnectionPage) {
    page->Activate();  // HotSync Manager started, and it will not go
    world->hotSyncObeysExit = false;
    page->Command(IDC_PAGE_NEXT);
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_EQ(ui.told[0], std::string(kHotSyncDetectedCaption) + ": " + kHotSyncDetectedText);
    world->hotSyncObeysExit = true;
    page->Command(IDC_PAGE_NEXT);
    EXPECT_EQ(ui.events.back(), "send show " + std::to_string(page::Connection));
    EXPECT_EQ(fileChoices, 0);
}

TEST_F(WizardFormTest, ThePictureOfTheResetBoxOnlyGivesAHint) {
    ThroughTheHotSync();
    page->Command(IDC_HS_PICTURE);
    EXPECT_EQ(ui.asked, (std::vector<Q>{{sid::WrongButton, sid::WrongButtonCaption,
                                         mb::Ok | mb::IconInformation}}));
    EXPECT_EQ(page->Step(), 2);
}

TEST_F(WizardFormTest, WithoutPalmDesktopItSaysSoGoesBackAndStillPrepares) {
    world->files.erase(kHotSyncExe);
    page = std::make_unique<TWizardForm>(ui, settings, HotSync(), *link, callback, [] {});
    page->Activate();
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_EQ(ui.told[0].rfind(kNoPalmDesktopCaption, 0), 0u);
    EXPECT_EQ(ui.events.back(), "post prev");
    EXPECT_TRUE(registry.Value(kManagerKey, "Notifier0"));
}

TEST_F(WizardFormTest, AMissingLibraryStopsTheEntryAtOnce) {
    world->files.erase(kNotifier);
    EXPECT_THROW(page->Activate(), EInvalidOperation);
    EXPECT_EQ(registry.Value(kManagerKey, "BackupConduit")->data.size(), sizeof "bakcn20.dll");
    EXPECT_FALSE(world->HasWindow(hotsync::kMainTitle));
}

class LowBattery : public WizardFormTest {
protected:
    LowBattery() : WizardFormTest(5) {}
};

TEST_F(LowBattery, EndsTheProgramWithTheLinkClosed) {
    ThroughTheHotSync();
    Reset();
    page->Timer(TWizardForm::Connect);
    EXPECT_EQ(ui.asked, (std::vector<Q>{{sid::BatteryTooLow, sid::BatteryTooLowCaption,
                                         mb::Ok | mb::IconInformation}}));
    EXPECT_FALSE(cable->IsOpen());
    EXPECT_EQ(ui.events.back(), "close main");
}

TEST_F(WizardFormTest, APortThatCannotBeOpenedEndsTheProgram) {
    ThroughTheHotSync();
    cable->SetFailing(SimSerialEdge::Call::Open, true);
    page->Timer(TWizardForm::Connect);
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_EQ(ui.told[0], ui.String(sid::UnknownLinkError) + "-607=: " + ErrorText(rc::PortInUse));
    EXPECT_EQ(ui.asked.back().caption, sid::UnknownLinkErrorCaption);
    EXPECT_EQ(ui.events.back(), "close main");
}

}  // namespace
