// The wizard driven end to end on a desk of the simulated world, as a user would work it: the
// real Kestrelup.exe from a kit folder, HotSync Manager's stand-in with the real kvrnotify.dll,
// and palmsim behind COM3. Each scenario checks what the user would: the handheld's flash
// against the update file, its databases against those it had, and HotSync Manager's key,
// value for value, against its state before the run.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/wizard/WizardRoads.h"

namespace e2e {
namespace {

// Normal mode from the welcome page to the finish page: the backup HotSync stages the loader,
// the reset starts it, the file beside the wizard is chosen by itself and flashed, and the
// restoring HotSync brings every database back. HotSync Manager ends as it was found.
TEST_F(Wizard, NormalModeTheWholeRoad) {
    desk_ = std::make_unique<Desk>("normal");
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    const auto keyBefore = desk.HotSyncKey();
    const auto ramBefore = desk.RamFiles();
    desk.Snapshot("normal-before");
    desk.StartHandheld("--mode os --no-pacing");
    desk.StartWizard();
    NormalRoadToUpload();
    // The backup HotSync's work, read back by Palm::PDB before anything is erased.
    desk.CheckBackups("normal-before");

    // The file holds RAM data, which normal mode does not install.
    const auto box = desk.driver.WaitMessageBox("RAM update not supported in Normal Mode");
    desk.driver.Answer(box, "OK");
    WaitNext(kUploadPage, kFlashWait);
    EXPECT_EQ(desk.driver.Text(desk.driver.WaitControl(kUploadPage, Id(IDC_UPLOAD_GROUP))),
              "Upload Complete !!! ");
    Press(kUploadPage, Id(IDC_PAGE_NEXT));

    WaitPage(kFinalPage);
    desk_->PressHotSync();
    WaitNext(kFinalPage, std::chrono::seconds(60));
    Press(kFinalPage, Id(IDC_PAGE_NEXT));
    WaitPage(kFinishPage);
    Press(kFinishPage, Text("&Finish"));
    desk.WaitWizardEnd();

    desk.ExpectFlash("normal", "good");
    EXPECT_EQ(desk.RamFiles(), ramBefore) << "every RAM database back, byte for byte";
    // The restoring HotSync: the conduit saw no user and gave the job back.
    std::ifstream log(desk.UserFolder() + "\\HotSync.log");
    const std::string text{std::istreambuf_iterator<char>(log), {}};
    EXPECT_NE(text.find("Stashmate: restore operation detected.  Exiting."), std::string::npos);
    EXPECT_EQ(desk.HotSyncKey(), keyBefore);
    EXPECT_FALSE(desk.HotSyncManagerRunning()) << "it was not running before";
}

// Advanced mode: the loader sent by the ROM debugger, the file confirmed on the browse page,
// and the RAM sections installed.
TEST_F(Wizard, AdvancedModeInstallsTheRamSections) {
    desk_ = std::make_unique<Desk>("advanced");
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    const auto keyBefore = desk.HotSyncKey();
    desk.StartHandheld("--mode debugger --no-pacing");
    desk.StartWizard();
    AdvancedRoadToBrowse();
    WaitPage(kBrowsePage);
    desk.driver.Type(kBrowsePage, Id(IDC_BROWSE_EDIT), desk.kit + "\\good.upd");
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));
    WaitPage(kUploadPage);
    WaitNext(kUploadPage, kFlashWait);
    Press(kUploadPage, Id(IDC_PAGE_NEXT));
    Press(kFinishPage, Text("&Finish"));
    desk.WaitWizardEnd();
    desk.ExpectFlash("advanced", "good");
    EXPECT_EQ(desk.HotSyncKey(), keyBefore);
}

// "-M": only the pages, starting at the connection page, whose Back has nowhere to go.
TEST_F(Wizard, DirectModeStartsAtTheConnectionPage) {
    desk_ = std::make_unique<Desk>("direct");
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    desk.StartHandheld("--mode debugger --no-pacing");
    desk.StartWizard("-M");
    WaitPage(kConnectionPage);
    // Once the page's entry work has run: the main window hidden, Back disabled.
    desk.driver.WaitUntil([&] { return desk.driver.FindTopWindow(kMain) == nullptr; },
                          "the main window hidden");
    desk.driver.WaitUntil([&] { return !Enabled(kConnectionPage, Id(IDC_PAGE_BACK)); },
                          "Back disabled");
    PassConnectionTest();
    WaitPage(kBrowsePage);
    desk.driver.Type(kBrowsePage, Id(IDC_BROWSE_EDIT), desk.kit + "\\good.upd");
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));
    WaitNext(kUploadPage, kFlashWait);
    Press(kUploadPage, Id(IDC_PAGE_NEXT));
    Press(kFinishPage, Text("&Finish"));
    desk.WaitWizardEnd();
    desk.ExpectFlash("advanced", "good");
}

// Cancel on every page of both modes ends the program with HotSync Manager's key exactly as it
// was and HotSync Manager running exactly when it was. Each row walks a fresh desk to its page.
struct CancelRow {
    const char* page;
    bool advanced;
    int stepsOnRoad;  // how far along the mode's road (see Walk) before the page's Cancel
    bool hotSyncRunningFirst;
    const char* cancel = "&Cancel";
};
const CancelRow kCancels[] = {
    {kWelcome, false, 0, false},
    {kWelcome, false, 0, true},
    {kHotSyncPage, false, 1, false},  // HotSync Manager started, notifier registered
    {kHotSyncPage, false, 2, true},   // after the backup HotSync, waiting for the reset
    {kHotSyncPage, false, 2, false},
    {kBrowsePage, false, 3, false},  // no update file beside the wizard
    {kUploadPage, false, 4, false},  // after the upload, before the restoring HotSync
    {kFinalPage, false, 5, false},
    {kFinalPage, false, 5, true},
    {kFinishPage, false, 6, false, "&Finish"},
    {kResetPage, true, 1, false},
    {kConnectionPage, true, 2, false},
    {kConnectionPage, true, 3, true},  // test passed: the link is open
    {kBrowsePage, true, 4, false},
    {kUploadPage, true, 5, false},
    {kFinishPage, true, 6, false, "&Finish"},
};

class CancelEverywhere : public Wizard, public ::testing::WithParamInterface<size_t> {
protected:
    // The mode's road, one step at a time.
    void Walk(const CancelRow& row, Desk& desk) {
        for (int step = 1; step <= row.stepsOnRoad; ++step) {
            if (!row.advanced)
                NormalStep(step, row, desk);
            else
                AdvancedStep(step, desk);
        }
    }
    void NormalStep(int step, const CancelRow& row, Desk& desk) {
        switch (step) {
            case 1: Press(kWelcome, Text("&Normal Mode >")); break;
            case 2:
                desk_->PressHotSync();
                WaitVisible(kHotSyncPage, IDC_HS_STATUS_RESET, std::chrono::seconds(60));
                break;
            case 3:
                desk.Press("reset");
                WaitNext(kHotSyncPage, std::chrono::seconds(30));
                Press(kHotSyncPage, Id(IDC_PAGE_NEXT));
                if (row.page == kBrowsePage) break;
                desk.driver.Answer("OK", "RAM update not supported in Normal Mode");
                WaitNext(kUploadPage, kFlashWait);
                break;
            case 4: break;  // the upload page, the upload done
            case 5: Press(kUploadPage, Id(IDC_PAGE_NEXT)); break;
            case 6: Press(kFinalPage, Text("Skip")); break;
        }
    }
    void AdvancedStep(int step, Desk& desk) {
        switch (step) {
            case 1:
                Press(kWelcome, Text("&Advanced Mode"));
                AnswerBox("OK");
                break;
            case 2: Press(kResetPage, Id(IDC_PAGE_NEXT)); break;
            case 3:
                WaitPage(kConnectionPage);
                Press(kConnectionPage, Text("COM &3"));
                Press(kConnectionPage, Id(IDC_CONN_TEST));
                WaitNext(kConnectionPage, std::chrono::seconds(30));
                break;
            case 4: Press(kConnectionPage, Id(IDC_PAGE_NEXT)); break;
            case 5:
                WaitPage(kBrowsePage);
                desk.driver.Type(kBrowsePage, Id(IDC_BROWSE_EDIT), desk.kit + "\\good.upd");
                Press(kBrowsePage, Id(IDC_PAGE_NEXT));
                WaitNext(kUploadPage, kFlashWait);
                break;
            case 6: Press(kUploadPage, Id(IDC_PAGE_NEXT)); break;
        }
    }
};

TEST_P(CancelEverywhere, LeavesHotSyncManagerAsFound) {
    const CancelRow& row = kCancels[GetParam()];
    desk_ = std::make_unique<Desk>("cancel-" + std::to_string(GetParam()), 2);
    Desk& desk = *desk_;
    if (row.page != kBrowsePage || row.advanced) desk.PutUpdate("good");
    const auto keyBefore = desk.HotSyncKey();
    if (row.hotSyncRunningFirst) desk.StartHotSyncManagerFirst();
    desk.StartHandheld(row.advanced ? "--mode debugger --no-pacing" : "--mode os --no-pacing");
    desk.StartWizard();
    WaitPage(kWelcome);
    Walk(row, desk);
    WaitPage(row.page, std::chrono::seconds(30));
    Press(row.page, Text(row.cancel));
    desk.WaitWizardEnd();
    EXPECT_EQ(desk.HotSyncKey(), keyBefore);
    if (row.hotSyncRunningFirst) {
        desk.driver.WaitUntil([&] { return desk.HotSyncManagerRunning(); },
                              "HotSync Manager running again");
    } else {
        Sleep(300);
        EXPECT_FALSE(desk.HotSyncManagerRunning());
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, CancelEverywhere,
                         ::testing::Range<size_t>(0, sizeof kCancels / sizeof kCancels[0]),
                         [](const auto& param) {
                             const CancelRow& row = kCancels[param.param];
                             std::string name = std::string(row.advanced ? "Advanced" : "Normal") +
                                                std::to_string(param.param) + "_";
                             for (const char* c = row.page; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name + (row.hotSyncRunningFirst ? "_HotSyncRunning" : "");
                         });

}  // namespace
}  // namespace e2e
