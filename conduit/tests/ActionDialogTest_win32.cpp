// "Change Hotsync Action" under Wine: while this thread waits in Ask, a second thread plays the
// user, looking at the dialog and clicking its controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "conduit/ConduitEntries.h"
#include "conduit/StashmateResources.h"
#include "conduit/tests/UserView.h"

namespace {

using A = SyncAction;
// In the dialog's order, as SyncAction counts.
constexpr int kRadios[] = {IDC_ACTION_HANDHELD, IDC_ACTION_NOTHING, IDC_ACTION_DESKTOP};
constexpr int kPictures[] = {IDC_ACTION_PICTURE_HANDHELD, IDC_ACTION_PICTURE_NOTHING,
                             IDC_ACTION_PICTURE_DESKTOP};

bool AskWith(SyncAction& action, bool& setAsDefault, const std::function<void(HWND)>& user) {
    const DWORD asking = GetCurrentThreadId();
    std::thread second([&] {
        if (auto d = static_cast<HWND>(view::ThreadWindow(asking, "Change Hotsync Action", 10000)))
            user(d);
    });
    const bool answered = MakeSyncActionDialog()->Ask(action, setAsDefault);
    second.join();
    return answered;
}

// Clicks the control, or for 0 the dialog's close box.
void Click(HWND dialog, int id) {
    if (!id) return void(PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0));
    PostMessageA(GetDlgItem(dialog, id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    PostMessageA(GetDlgItem(dialog, id), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

TEST(ActionDialog, StartsFromTheActionAndAnswersAsTheUserLeavesIt) {
    enum : int { Desktop = IDC_ACTION_DESKTOP, Box = IDC_ACTION_DEFAULT, CloseBox = 0 };
    const struct {
        A start;
        bool answered;
        A action;
        bool setAsDefault;
        std::vector<int> clicked;  // the last one leaves
    } cases[] = {
        {A::HandheldOverwrites, true, A::HandheldOverwrites, false, {IDOK}},
        {A::DoNothing, true, A::DoNothing, false, {IDOK}},
        {A::DesktopOverwrites, true, A::DesktopOverwrites, false, {IDOK}},
        {A::HandheldOverwrites, true, A::DesktopOverwrites, true, {Desktop, Box, IDOK}},
        // The box clicked twice is unchecked again; a picture picks its choice.
        {A::DoNothing, true, A::HandheldOverwrites, false, {Box, kPictures[0], Box, IDOK}},
        {A::DoNothing, false, A::DoNothing, true, {Desktop, Box, IDCANCEL}},
        {A::DoNothing, false, A::DoNothing, true, {Desktop, Box, CloseBox}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "from " << static_cast<int>(c.start) << " leaving by " << c.clicked.back());
        SyncAction action = c.start;
        bool setAsDefault = true;  // Ask starts unchecked whatever it is given
        std::vector<int> checked;
        int pictures = 0;
        EXPECT_EQ(AskWith(action, setAsDefault,
                          [&](HWND d) {
                              for (int id : {kRadios[0], kRadios[1], kRadios[2], int{Box}})
                                  if (IsDlgButtonChecked(d, id)) checked.push_back(id);
                              for (int id : kPictures)
                                  pictures += SendDlgItemMessageA(d, id, STM_GETIMAGE, 0, 0) != 0;
                              if (&c == cases) view::SaveShot(d, "sync-action.png");
                              for (int id : c.clicked) Click(d, id);
                          }),
                  c.answered);
        EXPECT_EQ(checked, std::vector<int>{kRadios[static_cast<int>(c.start)]});
        EXPECT_EQ(pictures, 3) << "a picture beside each choice";
        EXPECT_EQ(action, c.action);
        EXPECT_EQ(setAsDefault, c.setAsDefault);
    }
}

}  // namespace
