// The wizard's refusals, and the faults of the line and of the user's hand, end to end on a
// desk of the simulated world. Each scenario reads every box as the user does, caption and
// text, checks the page as it is left afterwards, and where the handheld's data is at stake
// its flash and its databases: a refusal must come before the first erase.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/wizard/WizardRoads.h"

namespace e2e {
namespace {

using std::chrono::seconds;

constexpr const char* kUnknownErrorLead =
    "An unknown error has occurred.\nContact tech support with\nthe following error "
    "message.\n\n";
constexpr const char* kFileErrorLead =
    "A file error has occurred.\nContact tech support with\nthe following error message.\n\n";
constexpr const char* kConnectionLostText =
    "Connection lost to PalmOS device. Check the PalmOS device\nscreen to verify that it "
    "matches the picture and\nthen hit Upload to try again.";
constexpr const char* kNoCommunicationText =
    "Could not establish communication with the Palm device.\n\nMake sure ...\n\n1. You have "
    "chosen the correct serial port (select the same port that HotSync uses).\n2. You have "
    "reset the palm while holding the page down key and see a blinking square in the upper "
    "left.";
constexpr const char* kAbortQuestionText =
    "Aborting the upload could cause your unit to function improperly.\nIt may not function at "
    "all.\n\nAre you sure that you want to abort the upload?";
constexpr const char* kAbortedFlashText = "-307=: User aborted flash process";
// What the RAM store's erase lasts on a paced line at 57600 bit/s: three blocks of 4 KiB.
constexpr DWORD kEraseMs = 2500;
// The engine sees an abort at its next block, a second at most at that speed; the rest of
// the flash would take more than ten.
constexpr seconds kAbortAnswered{8};

// The upload page's buttons and group caption in one of its display states.
struct UploadLook {
    const char* caption;
    bool abort, next, back, cancel;
};
constexpr UploadLook kUploadReady{"Ready To Upload ", false, false, true, true};
constexpr UploadLook kUploadFailed{"Upload Failed ", false, false, true, true};
constexpr UploadLook kUploadComplete{"Upload Complete !!! ", false, true, false, true};

class Faults : public Wizard {
protected:
    // Waits for the box with this caption, checks what it says and answers it.
    void ExpectBox(const char* caption, const std::string& text, const char* button = "OK",
                   seconds timeout = seconds(15)) {
        auto& d = desk_->driver;
        const auto before = d.Timeout();
        d.SetTimeout(timeout);
        const wizard::MessageBoxView box = d.WaitMessageBox(caption);
        d.SetTimeout(before);
        EXPECT_EQ(box.text, text) << "the box \"" << caption << "\"";
        d.Answer(box, button);
    }

    std::string TextOf(const char* page, int id) {
        return desk_->driver.Text(desk_->driver.WaitControl(page, Id(id)));
    }

    // Waits until the upload page looks as `look` says (its state settles after a box).
    void ExpectUploadPage(const UploadLook& look) {
        auto& d = desk_->driver;
        const auto matches = [&] {
            return !d.FindMessageBox() && TextOf(kUploadPage, IDC_UPLOAD_GROUP) == look.caption &&
                   Enabled(kUploadPage, Id(IDC_UPLOAD_ABORT)) == look.abort &&
                   Enabled(kUploadPage, Id(IDC_PAGE_NEXT)) == look.next &&
                   Enabled(kUploadPage, Id(IDC_PAGE_BACK)) == look.back &&
                   Enabled(kUploadPage, Id(IDC_PAGE_CANCEL)) == look.cancel;
        };
        d.WaitUntil(matches, std::string("the upload page showing \"") + look.caption + "\"",
                    [&] { return d.Describe(d.WaitWindow(kUploadPage)); });
    }

    // Normal mode's upload of the good file from the RAM question on, and the program
    // cancelled once it is complete: the handheld holds what the file leaves.
    void UploadTheGoodFileToItsEnd() {
        desk_->driver.Answer("OK", "RAM update not supported in Normal Mode");
        WaitNext(kUploadPage, kFlashWait);
        ExpectUploadPage(kUploadComplete);
        Press(kUploadPage, Id(IDC_PAGE_CANCEL));
        desk_->WaitWizardEnd();
        desk_->ExpectFlash("normal", "good");
    }

    // The connection page ready for another test: no pass, no Next.
    void ExpectConnectionReady() {
        auto& d = desk_->driver;
        d.WaitUntil(
            [&] {
                return !d.FindMessageBox() && TextOf(kConnectionPage, IDC_CONN_TEST) == "&Test" &&
                       Enabled(kConnectionPage, Id(IDC_CONN_TEST)) &&
                       !Enabled(kConnectionPage, Id(IDC_PAGE_NEXT)) &&
                       Enabled(kConnectionPage, Id(IDC_PAGE_CANCEL)) &&
                       !Visible(kConnectionPage, Id(IDC_CONN_PASSED));
            },
            "the connection page ready for another test",
            [&] { return d.Describe(d.WaitWindow(kConnectionPage)); });
    }

    // Normal mode up to the reset: the backup HotSync done, the page asking for the reset.
    void NormalRoadToReset() {
        WaitPage(kWelcome);
        Press(kWelcome, Id(IDC_WELCOME_NORMAL));
        WaitPage(kHotSyncPage);
        desk_->PressHotSync();
        WaitVisible(kHotSyncPage, IDC_HS_STATUS_RESET, seconds(60));
    }

    // From the browse page: the file typed in and Next, and the upload page, which starts the
    // upload by itself.
    void UploadFromBrowse(const std::string& file) {
        WaitPage(kBrowsePage);
        desk_->driver.Type(kBrowsePage, Id(IDC_BROWSE_EDIT), desk_->kit + "\\" + file + ".upd");
        Press(kBrowsePage, Id(IDC_PAGE_NEXT));
        WaitPage(kUploadPage);
    }
    // The uploading state shows the flash's caption from its start, so the loader's caption
    // tells that the flash's own one has yet to come. Then the RAM store's erase, and the
    // blocks are under way.
    void WaitFlashing() {
        auto& d = desk_->driver;
        for (const char* caption : {"Uploading Flash Loader ", "Uploading Flash Image "})
            d.WaitUntil([&] { return TextOf(kUploadPage, IDC_UPLOAD_GROUP) == caption; },
                        std::string("the upload page showing \"") + caption + "\"",
                        [&] { return d.Describe(d.WaitWindow(kUploadPage)); });
        Sleep(kEraseMs);
    }

    // Once palmsim has ended: every RAM database the handheld had is still there as it was
    // (beside what HotSync installed), but for the backup date the backup HotSync noted in it.
    void ExpectDatabasesKept(const std::map<std::string, std::vector<uint8_t>>& before) {
        constexpr size_t kBackupDate = 44, kDateSize = 4;
        auto withoutBackupDate = [](std::vector<uint8_t> bytes) {
            if (bytes.size() >= kBackupDate + kDateSize)
                std::fill_n(bytes.begin() + kBackupDate, kDateSize, uint8_t{0});
            return bytes;
        };
        const auto after = desk_->RamFiles();
        for (const auto& [name, bytes] : before) {
            const auto found = after.find(name);
            if (found == after.end())
                ADD_FAILURE() << name << " is gone from the handheld";
            else
                EXPECT_EQ(withoutBackupDate(found->second), withoutBackupDate(bytes))
                    << name << " changed";
        }
    }
};

// Normal mode with only a file for another model beside the wizard: the search passes it by,
// the browse page questions it, the user thinks again and picks the right file, which is
// flashed.
TEST_F(Faults, AFileForAnotherModelIsQuestionedAndTheRightOneFlashed) {
    desk_ = std::make_unique<Desk>("faults-device", 2);
    Desk& desk = *desk_;
    desk.PutUpdate("device");
    desk.PutUpdate("good");
    // Not beside the wizard, or the search would take it: kept aside for the browse page.
    const std::string good = desk.world.Root() + "\\good.upd";
    ASSERT_TRUE(MoveFileA((desk.kit + "\\good.upd").c_str(), good.c_str()));
    desk.StartHandheld("--mode os --no-pacing");
    desk.StartWizard();
    NormalRoadToUpload();

    WaitPage(kBrowsePage);
    EXPECT_EQ(TextOf(kBrowsePage, IDC_BROWSE_EDIT), "");
    const std::string device = desk.kit + "\\device.upd";
    desk.driver.Type(kBrowsePage, Id(IDC_BROWSE_EDIT), device);
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));
    ExpectBox("Device does not match",
              "The selected update file does not match the device you are trying to "
              "update.\n\nAre you sure you wish to continue?",
              "Cancel");
    EXPECT_EQ(TextOf(kBrowsePage, IDC_BROWSE_EDIT), device) << "the refusal keeps the name";
    EXPECT_EQ(desk.driver.FindTopWindow(kUploadPage), nullptr);

    desk.driver.Type(kBrowsePage, Id(IDC_BROWSE_EDIT), good);
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));
    UploadTheGoodFileToItsEnd();
}

// An OS one byte bigger than the flash: refused after the loader answered and before the RAM
// store is erased; one click on Cancel then ends the program.
TEST_F(Faults, AnImageTooBigIsRefusedBeforeAnythingIsErased) {
    desk_ = std::make_unique<Desk>("faults-big", 2);
    Desk& desk = *desk_;
    desk.PutUpdate("big");
    const auto keyBefore = desk.HotSyncKey();
    const auto ramBefore = desk.RamFiles();
    desk.StartHandheld("--mode os --no-pacing");
    desk.StartWizard();
    NormalRoadToUpload();

    ExpectBox("Flash too small/Image too big",
              "The update you are trying to install is too big to fit in your device's flash "
              "memory.");
    ExpectUploadPage(kUploadFailed);
    Press(kUploadPage, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
    desk.ExpectFlash("untouched");
    ExpectDatabasesKept(ramBefore);
    EXPECT_EQ(desk.HotSyncKey(), keyBefore);
}

// A battery at the loader's threshold (19 %, where 20 would do): the box once the loader
// answers after the reset, and the program ends with the handheld as it was.
TEST_F(Faults, ALowBatteryEndsTheProgramBeforeTheUpload) {
    desk_ = std::make_unique<Desk>("faults-battery", 2);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    const auto keyBefore = desk.HotSyncKey();
    const auto ramBefore = desk.RamFiles();
    desk.StartHandheld("--mode os --no-pacing --battery 19");
    desk.StartWizard();
    NormalRoadToReset();
    desk.Press("reset");

    ExpectBox("Error",
              "The battery state of your PalmOS device is too low to ocntinue.  You must change "
              "your batteries and re-run this update!",
              "OK", seconds(30));
    desk.WaitWizardEnd();
    EXPECT_EQ(desk.HotSyncKey(), keyBefore);
    desk.ExpectFlash("untouched");
    ExpectDatabasesKept(ramBefore);
}

// Advanced mode with the handheld still in its OS: the test finds no ROM debugger and the
// page stays ready; reset into the debugger, the next test passes and the update goes through.
TEST_F(Faults, TheConnectionTestFailsUntilTheHandheldIsInItsDebugger) {
    desk_ = std::make_unique<Desk>("faults-debugger", 1);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    desk.StartHandheld("--mode os --no-pacing");
    desk.StartWizard();
    WaitPage(kWelcome);
    Press(kWelcome, Id(IDC_WELCOME_ADVANCED));
    AnswerBox("OK");
    WaitPage(kResetPage);
    Press(kResetPage, Id(IDC_PAGE_NEXT));
    WaitPage(kConnectionPage);
    Press(kConnectionPage, Id(IDC_CONN_COM1 + 2));
    Press(kConnectionPage, Id(IDC_CONN_TEST));
    ExpectBox("COM Error", kNoCommunicationText);
    ExpectConnectionReady();

    desk.Press("debugger");
    Press(kConnectionPage, Id(IDC_CONN_TEST));
    WaitNext(kConnectionPage, seconds(30));
    EXPECT_TRUE(Visible(kConnectionPage, Id(IDC_CONN_PASSED)));
    Press(kConnectionPage, Id(IDC_PAGE_NEXT));
    UploadFromBrowse("good");
    WaitNext(kUploadPage, kFlashWait);
    Press(kUploadPage, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
    desk.ExpectFlash("advanced", "good");
}

// The handheld reset into its OS after the test passed: the page goes on offering the loader
// to a ROM that does not listen until the user gives up, which is said as the user's abort.
// Back closed the link, so coming straight back cannot work and says so; from a new test on
// the connection page, with the handheld in its debugger, the loader goes and the flash too.
TEST_F(Faults, TheLoaderIsOfferedUntilTheUserGivesUpAndSentOnceTheRomListens) {
    desk_ = std::make_unique<Desk>("faults-loader", 1);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    desk.StartHandheld("--mode debugger --no-pacing");
    desk.StartWizard();
    AdvancedRoadToBrowse();
    desk.Press("reset");
    UploadFromBrowse("good");
    desk.driver.WaitUntil(
        [&] { return TextOf(kUploadPage, IDC_UPLOAD_GROUP) == "Uploading Flash Loader "; },
        "the loader offered");
    // A few offers go unanswered meanwhile.
    Sleep(1500);
    EXPECT_EQ(TextOf(kUploadPage, IDC_UPLOAD_GROUP), "Uploading Flash Loader ");
    EXPECT_EQ(desk.driver.FindMessageBox(), std::nullopt);

    Press(kUploadPage, Id(IDC_UPLOAD_ABORT));
    ExpectBox("Warning", kAbortQuestionText, "&Yes");
    ExpectBox("Error", "Upload aborted by user.");
    ExpectUploadPage(kUploadFailed);

    desk.Press("debugger");
    Press(kUploadPage, Id(IDC_PAGE_BACK));
    WaitPage(kBrowsePage);
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));
    ExpectBox("Error", "Failed to load Bootlet.prc to pilot!");
    ExpectUploadPage(kUploadFailed);

    Press(kUploadPage, Id(IDC_PAGE_BACK));
    WaitPage(kBrowsePage);
    Press(kBrowsePage, Id(IDC_PAGE_BACK));
    PassConnectionTest();
    WaitPage(kBrowsePage);
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));
    WaitNext(kUploadPage, kFlashWait);
    ExpectUploadPage(kUploadComplete);
    Press(kUploadPage, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
    desk.ExpectFlash("advanced", "good");
}

// Abort while the flash runs at the line's own pace: "No" lets it go on, "Yes" stops it at
// the next block with the engine's abort code in the box, not the "aborted by user" one.
TEST_F(Faults, AnAbortDuringTheFlashShowsTheEnginesAbortCode) {
    desk_ = std::make_unique<Desk>("faults-abort", 1);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    const auto keyBefore = desk.HotSyncKey();
    desk.StartHandheld("--mode debugger");
    desk.StartWizard();
    AdvancedRoadToBrowse();
    UploadFromBrowse("good");
    WaitFlashing();

    Press(kUploadPage, Id(IDC_UPLOAD_ABORT));
    ExpectBox("Warning", kAbortQuestionText, "&No");
    Sleep(500);
    EXPECT_EQ(TextOf(kUploadPage, IDC_UPLOAD_GROUP), "Uploading Flash Image ");
    EXPECT_TRUE(Enabled(kUploadPage, Id(IDC_UPLOAD_ABORT))) << "the flash goes on";

    Press(kUploadPage, Id(IDC_UPLOAD_ABORT));
    ExpectBox("Warning", kAbortQuestionText, "&Yes");
    // The engine sees the request at its next block, long before the flash would have ended.
    ExpectBox("Critical Error", std::string(kUnknownErrorLead) + kAbortedFlashText, "OK",
              kAbortAnswered);
    ExpectUploadPage(kUploadReady);
    Press(kUploadPage, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
    EXPECT_EQ(desk.HotSyncKey(), keyBefore);
}

// The main window told to close while the flash runs: the program stays, the upload is
// aborted as by the abort button, and Cancel afterwards ends the program.
TEST_F(Faults, ClosingTheMainWindowDuringTheUploadAbortsItAndStays) {
    desk_ = std::make_unique<Desk>("faults-close", 1);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    desk.StartHandheld("--mode debugger");
    desk.StartWizard();
    AdvancedRoadToBrowse();
    UploadFromBrowse("good");
    WaitFlashing();

    PostMessageA(static_cast<HWND>(desk.driver.WaitWindow(kMain)), WM_CLOSE, 0, 0);
    ExpectBox("Critical Error", std::string(kUnknownErrorLead) + kAbortedFlashText, "OK",
              kAbortAnswered);
    ExpectUploadPage(kUploadReady);
    EXPECT_NE(desk.driver.FindTopWindow(kMain), nullptr) << "the main window was closed";
    EXPECT_FALSE(desk.driver.WaitExit(std::chrono::milliseconds(300)).has_value());
    Press(kUploadPage, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
}

// The line goes dead in the middle of the flash: the connection-lost box, and the page ready
// again. Back to the connection page, the handheld restarted and reset into its debugger as
// the box says, and the second attempt leaves the flash as one whole update would.
TEST_F(Faults, TheLineDropsDuringTheFlashAndASecondAttemptCompletes) {
    desk_ = std::make_unique<Desk>("faults-hangup", 1);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    desk.StartHandheld("--mode debugger --no-pacing --fault hangup=20");
    desk.StartWizard();
    AdvancedRoadToBrowse();
    UploadFromBrowse("good");

    // The loader gets three tries of its command's time before the line counts as lost.
    ExpectBox("COM Error", kConnectionLostText, "OK", seconds(45));
    ExpectUploadPage(kUploadReady);
    Press(kUploadPage, Id(IDC_PAGE_BACK));
    WaitPage(kBrowsePage);
    Press(kBrowsePage, Id(IDC_PAGE_BACK));
    WaitPage(kConnectionPage);

    desk.StartHandheld("--mode os --no-pacing");
    desk.Press("debugger");
    Press(kConnectionPage, Id(IDC_CONN_TEST));
    WaitNext(kConnectionPage, seconds(30));
    Press(kConnectionPage, Id(IDC_PAGE_NEXT));
    WaitPage(kBrowsePage);
    EXPECT_EQ(TextOf(kBrowsePage, IDC_BROWSE_EDIT), desk.kit + "\\good.upd");
    Press(kBrowsePage, Id(IDC_PAGE_NEXT));
    WaitNext(kUploadPage, kFlashWait);
    ExpectUploadPage(kUploadComplete);
    Press(kUploadPage, Id(IDC_PAGE_NEXT));
    WaitPage(kFinishPage);
    Press(kFinishPage, Id(IDC_FINISH_FINISH));
    desk.WaitWizardEnd();
    desk.ExpectFlash("advanced", "good");
}

// At 115200 bit/s (-H) the line dies in the middle of the flash, and the loader stays at that
// speed. The handheld restarted with its loader still running, the user goes back to the
// HotSync page and on: its connection finds the loader where the line left it, without a
// reset, and the second attempt completes the update.
TEST_F(Faults, TheLineDiesAtHighSpeedAndASecondAttemptFindsTheLoaderThere) {
    desk_ = std::make_unique<Desk>("faults-high-speed", 1);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    desk.StartHandheld("--mode os --no-pacing --fault hangup=24");
    desk.StartWizard("-H");
    NormalRoadToUpload();
    desk.driver.Answer("OK", "RAM update not supported in Normal Mode");
    ExpectBox("COM Error", kConnectionLostText, "OK", seconds(45));
    ExpectUploadPage(kUploadReady);

    desk.StartHandheld("--mode loader --no-pacing");
    Press(kUploadPage, Id(IDC_PAGE_BACK));
    WaitPage(kHotSyncPage);
    desk.PressHotSync();
    WaitNext(kHotSyncPage, seconds(60));
    Press(kHotSyncPage, Id(IDC_PAGE_NEXT));
    UploadTheGoodFileToItsEnd();
}

// A file whose OS section does not match its checksum, chosen by the search (which reads only
// the device code): the file-error box comes before the RAM store is erased.
TEST_F(Faults, ADamagedFileIsRefusedBeforeAnythingIsErased) {
    desk_ = std::make_unique<Desk>("faults-damaged", 2);
    Desk& desk = *desk_;
    desk.PutUpdate("damaged");
    const auto ramBefore = desk.RamFiles();
    desk.StartHandheld("--mode os --no-pacing");
    desk.StartWizard();
    NormalRoadToUpload();

    ExpectBox("File Error",
              std::string(kFileErrorLead) + "-311=: Update file section checksum error");
    ExpectUploadPage(kUploadReady);
    Press(kUploadPage, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
    desk.ExpectFlash("untouched");
    ExpectDatabasesKept(ramBefore);
}

}  // namespace
}  // namespace e2e
