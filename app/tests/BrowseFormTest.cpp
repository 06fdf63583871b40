// The browse page: where the open dialog starts, and what Next accepts, asks or refuses for
// real update files, in both modes.
#include "app/BrowseForm.h"

#include <gtest/gtest.h>

#include "app/PageControls.h"
#include "app/WizardFlow.h"
#include "app/tests/PageWorld.h"
#include "base/StringIds.h"
#include "testing/TestUpdateFile.h"

namespace {

using Q = FakePageUi::Question;
using testupd::BuildUpd;
using testupd::Pattern;
using testupd::TempFile;
using testupd::UpdPlan;

std::vector<uint8_t> FileFor(uint16_t device) {
    UpdPlan plan;
    plan.minor = 2;
    plan.device = device;
    plan.os = {{0, Pattern(3000, device), {}}};
    return BuildUpd(plan);
}

class BrowseFormTest : public PageWorld {
protected:
    BrowseFormTest() : PageWorld(HandheldMode::Loader) {
        EXPECT_EQ(link->OpenPort("COM1"), rc::Success);
        EXPECT_EQ(link->StartLoader(), rc::Success);  // device type 11
    }
    void Next(const std::string& path) {
        ui.texts[IDC_BROWSE_EDIT] = path;
        page.Command(IDC_PAGE_NEXT);
    }
    TBrowseForm page{ui, settings, *link};
};

TEST_F(BrowseFormTest, EntryShowsTheFileSoFarAndBrowseStartsWhereTheTextPoints) {
    settings.updateFile = "C:\\Kit\\old.upd";
    page.Activate();
    EXPECT_EQ(ui.texts[IDC_BROWSE_EDIT], "C:\\Kit\\old.upd");
    EXPECT_EQ(ui.focused, IDC_BROWSE_BUTTON);
    EXPECT_EQ(ui.pictures.at(IDC_BROWSE_PICTURE), PageUi::Picture::LoaderScreen);

    ui.picked = "D:\\images\\new.upd";
    page.Command(IDC_BROWSE_BUTTON);
    ui.texts[IDC_BROWSE_EDIT] = "D:\\images.dir\\sub";
    page.Command(IDC_BROWSE_BUTTON);
    const std::string filter = "OS Update Files (*.upd)|*.UPD";
    EXPECT_EQ(ui.opened,
              (std::vector<FakePageUi::OpenDialog>{{"", "C:\\Kit\\old.upd", filter},
                                                   {"D:\\images.dir\\sub", "", filter}}));
    EXPECT_EQ(ui.texts[IDC_BROWSE_EDIT], "D:\\images\\new.upd");
}

TEST_F(BrowseFormTest, NextByFileAndMode) {
    const TempFile mine(FileFor(11)), sibling(FileFor(7)), foreign(FileFor(267)), other(FileFor(3));
    std::vector<uint8_t> bad = FileFor(11);
    bad[600] ^= 1;  // inside the update map: its checksum no longer holds
    const TempFile damaged(bad);
    struct Row {
        const char* what;
        const char* path;
        bool advanced;
        std::deque<int> answers;
        std::vector<Q> asked;
        bool accepted;
    };
    const Q mismatch{sid::DeviceMismatch, sid::DeviceMismatchCaption,
                     mb::OkCancel | mb::IconExclamation};
    const Q notHalvex{sid::FileNotForHalvex, sid::FileNotForHalvexCaption, mb::Ok | mb::IconStop};
    const Row rows[] = {
        {"the handheld's own", mine.Path(), false, {}, {}, true},
        {"another Halvex model in normal mode asks",
         sibling.Path(),
         false,
         {mb::IdOk},
         {mismatch},
         true},
        {"and stays when the user says no",
         sibling.Path(),
         false,
         {mb::IdCancel},
         {mismatch},
         false},
        {"another model in advanced mode is taken", sibling.Path(), true, {}, {}, true},
        {"267 is no 11", foreign.Path(), false, {}, {notHalvex}, false},
        {"another maker's", other.Path(), true, {}, {notHalvex}, false},
        {"a missing file",
         "/nowhere/x.upd",
         false,
         {},
         {{sid::FileNotFound, sid::FileErrorCaption, mb::Ok | mb::IconStop}},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ui = FakePageUi();
        settings.updateFile = "before";
        settings.advancedMode = row.advanced;
        ui.answers = row.answers;
        Next(row.path);
        EXPECT_EQ(ui.asked, row.asked);
        EXPECT_EQ(settings.updateFile, row.accepted ? row.path : "before");
        EXPECT_EQ(
            !ui.events.empty() && ui.events.back() == "send show " + std::to_string(page::Upload),
            row.accepted);
        EXPECT_EQ(ui.texts[IDC_BROWSE_EDIT], row.path) << "the text is kept";
    }

    ui = FakePageUi();
    Next(damaged.Path());
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_NE(ui.told[0].find("valid ROM image"), std::string::npos);
    EXPECT_NE(ui.told[0].find(std::to_string(rc::UpdateCrcError) + "=: "), std::string::npos)
        << ui.told[0];
}

TEST_F(BrowseFormTest, CancelLetsTheLoaderGoAndEndsTheProgram) {
    page.Command(IDC_PAGE_CANCEL);
    EXPECT_FALSE(cable->IsOpen());
    EXPECT_EQ(ui.events.back(), "close main");
    page.Command(IDC_PAGE_BACK);
    EXPECT_EQ(ui.events.back(), "send prev");
}

}  // namespace
