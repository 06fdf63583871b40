// The page-switching rules: where a page appears, what it remembers for Back, the order of
// show, entry work and hide, and the first page of each start.
#include "app/WizardFlow.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "app/Settings.h"

namespace {

class FakePage final : public WizardPage {
public:
    FakePage(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    Point Position() override { return at; }
    void PlaceAt(Point to) override {
        at = to;
        log_.push_back(name_ + " placed");
    }
    void Show() override { log_.push_back(name_ + " shown"); }
    void Hide() override { log_.push_back(name_ + " hidden"); }
    void Activate() override { log_.push_back(name_ + " activated"); }
    bool CloseQuery() override { return agrees; }

    Point at;
    bool agrees = true;

private:
    std::string name_;
    std::vector<std::string>& log_;
};

class WizardFlowTest : public ::testing::Test {
protected:
    WizardFlowTest() {
        flow.AddPage(page::Welcome, welcome);
        flow.AddPage(page::HotSync, hotsync);
        flow.AddPage(page::Browse, browse);
        flow.AddPage(page::Upload, upload);
    }
    std::vector<std::string> log;
    FakePage welcome{"welcome", log}, hotsync{"hotsync", log}, browse{"browse", log},
        upload{"upload", log};
    TWizardFlow flow;
};

TEST_F(WizardFlowTest, TheFirstPageIsShownWhereItWasDesigned) {
    ASSERT_TRUE(flow.ShowPage(page::Welcome));
    EXPECT_EQ(log, (std::vector<std::string>{"welcome shown", "welcome activated"}));
    EXPECT_EQ(welcome.Tag, nullptr);
    EXPECT_EQ(flow.CurrentId(), page::Welcome);
}

TEST_F(WizardFlowTest, ANextPageTakesTheMovedPlaceAndIsActivatedBeforeTheOldGoes) {
    flow.ShowPage(page::Welcome);
    welcome.at = {300, 45};  // the user moved it
    log.clear();
    flow.ShowPage(page::HotSync);
    EXPECT_EQ(hotsync.at, (WizardPage::Point{300, 45}));
    EXPECT_EQ(log, (std::vector<std::string>{"hotsync placed", "hotsync shown", "hotsync activated",
                                             "welcome hidden"}));
    EXPECT_EQ(hotsync.Tag, &welcome);
}

TEST_F(WizardFlowTest, BackAfterBackFollowsEachPagesOwnTag) {
    flow.ShowPage(page::Welcome);
    flow.ShowPage(page::HotSync);
    flow.ShowPage(page::Browse);
    browse.at = {10, 20};
    log.clear();
    ASSERT_TRUE(flow.PrevPage());
    EXPECT_EQ(log,
              (std::vector<std::string>{"hotsync shown", "hotsync activated", "browse hidden"}))
        << "Back neither moves the page nor changes a Tag";
    EXPECT_EQ(browse.Tag, &hotsync);
    ASSERT_TRUE(flow.PrevPage());
    EXPECT_EQ(flow.Current(), &welcome);
    EXPECT_FALSE(flow.PrevPage()) << "the first page has nothing before it";
    EXPECT_EQ(flow.Current(), &welcome);
}

TEST_F(WizardFlowTest, APageShownAgainForwardRemembersTheNewWayThere) {
    flow.ShowPage(page::Welcome);
    flow.ShowPage(page::HotSync);
    flow.ShowPage(page::Upload);
    flow.PrevPage();
    flow.ShowPage(page::Browse);
    flow.ShowPage(page::Upload);
    EXPECT_EQ(upload.Tag, &browse);
}

TEST_F(WizardFlowTest, UnknownIdsAndTheCurrentPageAgainChangeNothingForBack) {
    flow.ShowPage(page::Welcome);
    EXPECT_FALSE(flow.ShowPage(1234));
    EXPECT_FALSE(flow.ShowPage(page::Finish)) << "not made in this test";
    EXPECT_EQ(flow.Current(), &welcome);
    log.clear();
    ASSERT_TRUE(flow.ShowPage(page::Welcome));
    EXPECT_EQ(welcome.Tag, nullptr) << "a page is never its own way back";
    EXPECT_EQ(log,
              (std::vector<std::string>{"welcome placed", "welcome shown", "welcome activated"}));
}

TEST_F(WizardFlowTest, TheCurrentPageDecidesWhetherTheProgramMayEnd) {
    EXPECT_TRUE(flow.CloseQuery()) << "no page yet";
    flow.ShowPage(page::Upload);
    upload.agrees = false;
    EXPECT_FALSE(flow.CloseQuery());
}

TEST(WizardStart, DirectModeOpensAtTheConnectionPage) {
    EXPECT_EQ(TWizardFlow::FirstPage(win32_cfg_type("C:\\K\\Kestrelup.exe", {"-m"})),
              page::Connection);
    EXPECT_EQ(TWizardFlow::FirstPage(win32_cfg_type("C:\\K\\Kestrelup.exe", {"-HM"})),
              page::Welcome);
}

TEST(WizardPages, EightPagesWithDistinctIdsAndTheirCaptions) {
    std::vector<int> ids(std::begin(page::kAll), std::end(page::kAll));
    ASSERT_EQ(ids.size(), 8u);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    EXPECT_STREQ(page::Caption(page::Upload), "Uploading Image");
    EXPECT_STREQ(page::ClassName(page::HotSync), "TWizardForm");
    EXPECT_EQ(page::Caption(1000), nullptr);
}

}  // namespace
