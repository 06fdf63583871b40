// The welcome page's choice of mode, with and without Palm Desktop, and what it does to
// HotSync Manager when it is shown.
#include "app/WelcomeForm.h"

#include <gtest/gtest.h>

#include "app/PageControls.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "app/tests/FakePageUi.h"
#include "base/MemoryRegistry.h"
#include "base/StringIds.h"
#include "hotsync/tests/FakeDesktop.h"

namespace {

const std::string kHotSyncExe = "C:\\Palm\\HotSync.exe";
const std::string kCore = "Software\\Palm Computing\\Pilot Desktop\\Core";

using Q = FakePageUi::Question;
const Q kNoDesktop{sid::NoPalmDesktop, sid::NoPalmDesktopCaption, mb::OkCancel};
const Q kWarning{sid::AdvancedModeWarning, sid::AdvancedModeWarningCaption,
                 mb::OkCancel | mb::IconExclamation};

class WelcomeFormTest : public ::testing::Test {
protected:
    void Install() {
        registry.SetText(kCore, "HotSyncPath", kHotSyncExe);
        world->files.insert(kHotSyncExe);
    }
    TWelcomeForm& Page() {
        manager = std::make_unique<THotSyncManager>(
            registry.Edge(), std::make_unique<FakeDesktop>(world), std::make_unique<FakeBoxes>());
        page = std::make_unique<TWelcomeForm>(ui, settings, *manager);
        return *page;
    }

    struct FakeBoxes final : MessageBoxEdge {
        int Show(const char*, const char*, unsigned) override { return mb::IdOk; }
    };
    MemoryRegistry registry;
    std::shared_ptr<DesktopWorld> world = std::make_shared<DesktopWorld>();
    win32_cfg_type settings;
    FakePageUi ui;
    std::unique_ptr<THotSyncManager> manager;
    std::unique_ptr<TWelcomeForm> page;
};

TEST_F(WelcomeFormTest, ShowingItFocusesNormalModeAndAsksHotSyncManagerToExit) {
    Install();
    world->RunHotSyncByHand();
    Page().Activate();
    EXPECT_EQ(ui.focused, IDC_WELCOME_NORMAL);
    EXPECT_FALSE(world->HasWindow(hotsync::kMainTitle));
    EXPECT_EQ(manager->ClosedCount(), 1);
}

TEST_F(WelcomeFormTest, ModeChoices) {
    struct Row {
        const char* what;
        bool desktop;
        bool startAdvanced;
        int button;
        std::deque<int> answers;
        std::vector<Q> asked;
        std::vector<std::string> events;
        bool advanced;
    };
    const std::string hotsyncPage = "post show " + std::to_string(page::HotSync);
    const std::string resetPage = "post show " + std::to_string(page::Reset);
    const Row rows[] = {
        {"normal mode with Palm Desktop asks nothing",
         true,
         false,
         IDC_WELCOME_NORMAL,
         {},
         {},
         {hotsyncPage},
         false},
        {"normal mode again after advanced clears advanced",
         true,
         true,
         IDC_WELCOME_NORMAL,
         {},
         {},
         {hotsyncPage},
         false},
        {"without Palm Desktop, accepting advanced mode",
         false,
         false,
         IDC_WELCOME_NORMAL,
         {mb::IdOk},
         {kNoDesktop},
         {resetPage},
         true},
        {"without Palm Desktop, declining ends the program",
         false,
         false,
         IDC_WELCOME_NORMAL,
         {mb::IdCancel},
         {kNoDesktop},
         {"post close"},
         false},
        {"advanced mode always warns first, even with Palm Desktop",
         true,
         false,
         IDC_WELCOME_ADVANCED,
         {mb::IdOk},
         {kWarning},
         {resetPage},
         true},
        {"declining the warning stays",
         true,
         false,
         IDC_WELCOME_ADVANCED,
         {mb::IdCancel},
         {kWarning},
         {},
         false},
        {"cancel ends the program", true, false, IDC_PAGE_CANCEL, {}, {}, {"post close"}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        registry = MemoryRegistry();
        world = std::make_shared<DesktopWorld>();
        ui = FakePageUi();
        if (row.desktop) Install();
        settings.advancedMode = row.startAdvanced;
        ui.answers = row.answers;
        Page().Command(row.button);
        EXPECT_EQ(ui.asked, row.asked);
        EXPECT_EQ(ui.events, row.events);
        EXPECT_EQ(settings.advancedMode, row.advanced);
    }
}

TEST_F(WelcomeFormTest, TheCloseBoxEndsTheProgram) {
    Page().CloseBox();
    EXPECT_EQ(ui.events, (std::vector<std::string>{"post close"}));
}

}  // namespace
