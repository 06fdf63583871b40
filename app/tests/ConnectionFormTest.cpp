// The connection page against the simulated handheld on a simulated cable: the extra ports,
// the port HotSync uses, the test and its states, every error box, and the blinking cursor.
#include "app/ConnectionForm.h"

#include <gtest/gtest.h>

#include <map>

#include "app/PageControls.h"
#include "app/WizardFlow.h"
#include "app/tests/PageWorld.h"
#include "base/ResultCodes.h"
#include "base/StringIds.h"

namespace {

using State = TConnectionForm::State;
using Q = FakePageUi::Question;
const int kCom1 = IDC_CONN_COM1;

class ConnectionFormTest : public PageWorld {
protected:
    explicit ConnectionFormTest(HandheldMode mode = HandheldMode::RomDebugger) : PageWorld(mode) {}

    // The page as made at start, on a machine whose ports 5 to 8 answer `probes` and whose
    // HotSync uses `port`.
    TConnectionForm& Make(std::map<int, int> probes = {}, const char* port = nullptr) {
        if (port) registry.SetText(kManagerKey, "DirectComPort", port);
        page = std::make_unique<TConnectionForm>(ui, settings, *link, HotSync(), [probes](int n) {
            const auto it = probes.find(n);
            return it == probes.end() ? 2 : it->second;
        });
        page->Create();
        return *page;
    }
    int Checked() {
        int checked = 0;
        for (int n = 1; n <= 8; ++n)
            if (ui.IsChecked(kCom1 + n - 1)) checked = checked * 10 + n;
        return checked;
    }

    std::unique_ptr<TConnectionForm> page;
};

TEST_F(ConnectionFormTest, ExtraPortsAreShownWhenOneOfThemCanBeUsed) {
    struct Row {
        const char* what;
        std::map<int, int> probes;
        bool shown;
    };
    const Row rows[] = {
        {"none of them exists", {}, false},
        {"COM6 alone, free", {{6, 0}}, true},
        {"all four there but held by others", {{5, 1}, {6, 1}, {7, 1}, {8, 1}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ui = FakePageUi();
        for (int n = 5; n <= 8; ++n) ui.SetVisible(kCom1 + n - 1, false);
        Make(row.probes);
        for (int n = 5; n <= 8; ++n) EXPECT_EQ(!ui.hidden.count(kCom1 + n - 1), row.shown);
        for (int n = 1; n <= 4; ++n)
            EXPECT_EQ(ui.moved[kCom1 + n - 1], row.shown ? -25 : 0) << "COM" << n;
    }
}

TEST_F(ConnectionFormTest, ThePortHotSyncUsesIsChosen) {
    const std::pair<const char*, int> rows[] = {{"COM3", 3}, {"com2", 2}, {"COM4", 4},
                                                {"COM5", 1}, {"USB", 1},  {nullptr, 1}};
    for (const auto& [port, checked] : rows) {
        SCOPED_TRACE(port ? port : "none");
        registry = MemoryRegistry();
        ui = FakePageUi();
        Make({}, port);
        EXPECT_EQ(Checked(), checked);
    }
}

TEST_F(ConnectionFormTest, ATestThatPassesTwiceClosesTheFirstLinkFirst) {
    Make({}, "COM2");
    page->Activate();
    EXPECT_EQ(page->Current(), State::Ready);
    EXPECT_TRUE(ui.disabled.count(IDC_PAGE_NEXT));
    EXPECT_EQ(ui.focused, IDC_CONN_TEST);
    EXPECT_EQ(ui.texts[IDC_CONN_TEST], "&Test");

    page->Command(IDC_CONN_TEST);
    EXPECT_EQ(page->Current(), State::Passed);
    EXPECT_EQ(cable->OpenedName(), "COM2");
    EXPECT_FALSE(ui.disabled.count(IDC_PAGE_NEXT));
    EXPECT_FALSE(ui.hidden.count(IDC_CONN_PASSED));
    EXPECT_EQ(ui.focused, IDC_PAGE_NEXT);
    EXPECT_EQ(link->CurrentState(), TPilotManager::DebuggerAnswered);
    EXPECT_TRUE(ui.asked.empty());

    ui.events.clear();
    page->Command(IDC_CONN_TEST);
    EXPECT_EQ(page->Current(), State::Passed);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"busy", "beep", "not busy"}));
    page->Command(IDC_PAGE_NEXT);
    EXPECT_EQ(ui.events.back(), "send show " + std::to_string(page::Browse));
}

class SilentHandheld : public ConnectionFormTest {
protected:
    SilentHandheld() : ConnectionFormTest(HandheldMode::Os) {}
};

TEST_F(SilentHandheld, AHandheldThatDoesNotAnswerIsReportedAndThePortClosed) {
    Make();
    page->Activate();
    page->Command(IDC_CONN_TEST);
    EXPECT_EQ(
        ui.asked,
        (std::vector<Q>{{sid::NoCommunication, sid::ComErrorCaption, mb::Ok | mb::IconStop}}));
    EXPECT_EQ(page->Current(), State::Ready);
    EXPECT_FALSE(cable->IsOpen());
    EXPECT_TRUE(ui.disabled.count(IDC_PAGE_NEXT));
    EXPECT_FALSE(ui.disabled.count(IDC_PAGE_CANCEL));
}

TEST_F(ConnectionFormTest, APortInUseLetsTheUserTryAgainAnyOtherFailureEndsTheProgram) {
    Make();
    page->Activate();
    cable->SetFailing(SimSerialEdge::Call::Open, true);
    page->Command(IDC_CONN_TEST);
    EXPECT_EQ(ui.asked,
              (std::vector<Q>{{sid::PortInUse, sid::PortInUseCaption, mb::Ok | mb::IconStop}}));
    EXPECT_EQ(page->Current(), State::Ready);
    EXPECT_NE(ui.events.back(), "post close");

    cable->SetFailing(SimSerialEdge::Call::Open, false);
    cable->SetFailing(SimSerialEdge::Call::GetState, true);
    ui.asked.clear();
    page->Command(IDC_CONN_TEST);
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_EQ(ui.told[0], FillCode(ui.String(sid::UnknownError), rc::GetStateError,
                                   ErrorText(rc::GetStateError)));
    EXPECT_NE(ui.told[0].find(std::to_string(rc::GetStateError) + "=: "), std::string::npos);
    EXPECT_EQ(ui.asked.back().caption, sid::UnknownErrorCaption);
    EXPECT_EQ(ui.events.back(), "post close");
}

TEST_F(ConnectionFormTest, TheCursorBlinksBlackOnOddTicksAndCountsAcrossVisits) {
    Make();
    settings.directMode = true;
    page->Activate();
    EXPECT_EQ(ui.timers.at(TConnectionForm::Blink), 250u);
    EXPECT_EQ(ui.events.front(), "hide main") << "started with -M: only the pages";
    page->Timer(TConnectionForm::Blink);
    page->Timer(TConnectionForm::Blink);
    page->Hidden();
    EXPECT_FALSE(ui.timers.count(TConnectionForm::Blink));
    page->Activate();
    page->Timer(TConnectionForm::Blink);
    EXPECT_EQ(ui.cursors, (std::vector<std::pair<int, bool>>{{IDC_CONN_PAINTBOX, true},
                                                             {IDC_CONN_PAINTBOX, false},
                                                             {IDC_CONN_PAINTBOX, true}}));
}

TEST_F(ConnectionFormTest, BackClosesTheLink) {
    Make();
    page->Activate();
    page->Command(IDC_CONN_TEST);
    page->Command(IDC_PAGE_BACK);
    EXPECT_FALSE(cable->IsOpen());
    EXPECT_EQ(ui.events.back(), "send prev");
}

TEST_F(ConnectionFormTest, StartedWithMBackStaysDisabledInEveryState) {
    settings.directMode = true;
    Make();
    page->Activate();
    EXPECT_TRUE(ui.disabled.count(IDC_PAGE_BACK)) << "ready";
    EXPECT_FALSE(ui.disabled.count(IDC_PAGE_CANCEL));
    page->Command(IDC_CONN_TEST);
    EXPECT_EQ(page->Current(), State::Passed);
    EXPECT_TRUE(ui.disabled.count(IDC_PAGE_BACK)) << "passed";
}

TEST(FillCode, FillsTheFirstOfEach) {
    EXPECT_EQ(FillCode("%d=: %s (%d)", -4, "x"), "-4=: x (%d)");
    EXPECT_EQ(FillCode("no fields", 1, "x"), "no fields");
    EXPECT_EQ(FillCode("%s", 0, nullptr), "");
}

}  // namespace
