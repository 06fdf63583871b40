// Every page of the wizard in each of its languages, as a user of that language sees it on
// the way through both modes: each page is found by its translated caption, worked by its
// controls' ids, and kept as a PNG picture under the build folder (the list is printed).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/wizard/WizardRoads.h"

namespace e2e {
namespace {

class Tour : public Wizard, public ::testing::WithParamInterface<Language> {
protected:
    void SetUp() override {
        language_ = GetParam();
        shots_ = true;
    }
    void StartWizard(const char* extra = "") {
        std::string arguments = language_.keyword;
        if (*extra) arguments += std::string(arguments.empty() ? "" : " ") + extra;
        desk_->StartWizard(arguments);
    }
};

// Normal mode with two update files beside the wizard: the selection dialog, the browse page
// reached from it, the upload, the restoring HotSync and the finish page.
TEST_P(Tour, NormalModeEveryPage) {
    desk_ = std::make_unique<Desk>(std::string("tour-normal-") + language_.code, 2);
    Desk& desk = *desk_;
    desk.PutUpdate("good");
    ASSERT_TRUE(CopyFileA(Linux::Work("files/good.upd").c_str(),
                          (desk.kit + "\\another.upd").c_str(), FALSE));
    desk.StartHandheld("--mode os --no-pacing");
    StartWizard();
    NormalRoadToUpload();

    WaitPage(language_.fileSelection);
    Shot(language_.fileSelection, "1300-file-selection");
    Press(language_.fileSelection, Id(IDC_SELECT_BROWSE));
    WaitPage(language_.browse);
    desk.driver.Type(language_.browse, Id(IDC_BROWSE_EDIT), desk.kit + "\\good.upd");
    Shot(language_.browse, "1215-browse");
    Press(language_.browse, Id(IDC_PAGE_NEXT));

    desk.driver.Answer("OK", "RAM update not supported in Normal Mode");
    WaitNext(language_.upload, kFlashWait);
    Shot(language_.upload, "1205-upload-complete");
    Press(language_.upload, Id(IDC_PAGE_NEXT));

    WaitPage(language_.final);
    Shot(language_.final, "1217-final-hotsync");
    desk.PressHotSync();
    WaitNext(language_.final, std::chrono::seconds(60));
    Shot(language_.final, "1217-final-hotsync-done");
    Press(language_.final, Id(IDC_PAGE_NEXT));
    WaitPage(language_.finish);
    Shot(language_.finish, "1206-finish");
    Press(language_.finish, Id(IDC_FINISH_FINISH));
    desk.WaitWizardEnd();
}

// Advanced mode: the reset and connection pages, up to the browse page.
TEST_P(Tour, AdvancedModeEveryPage) {
    desk_ = std::make_unique<Desk>(std::string("tour-advanced-") + language_.code, 1);
    Desk& desk = *desk_;
    desk.StartHandheld("--mode debugger --no-pacing");
    StartWizard();
    AdvancedRoadToBrowse();
    WaitPage(language_.browse);
    Press(language_.browse, Id(IDC_PAGE_CANCEL));
    desk.WaitWizardEnd();
}

INSTANTIATE_TEST_SUITE_P(Languages, Tour, ::testing::Values(kEnglish, kGerman, kFrench),
                         [](const auto& param) { return std::string(param.param.code); });

}  // namespace
}  // namespace e2e
