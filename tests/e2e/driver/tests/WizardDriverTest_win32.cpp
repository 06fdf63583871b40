// The driver against the test wizard, a program of its own as the real wizard will be: it
// finds windows and controls, presses buttons so that the wizard's handlers run, reads texts
// and states, answers modal message boxes (captions and texts exactly, a non-ASCII caption
// included), and keeps a picture of a window whose size and pixels are right.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/e2e/driver/WizardDriver.h"
#include "tests/e2e/driver/tests/TestWizardIds.h"

namespace {

using wizard::ControlRef;
using wizard::DriverError;
using wizard::WizardDriver;
using namespace std::chrono_literals;

constexpr const char* kMain = "Driver Test Wizard";
constexpr const char* kOptions = "Driver Test Options";
constexpr const char* kQuestion = "Probl\xE8me";

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program = path;
    return program.substr(0, program.find_last_of('\\'));
}

// The message of the DriverError that `action` throws, or a note that none was thrown.
template <typename Action>
std::string FailureOf(Action action) {
    try {
        action();
    } catch (const DriverError& e) {
        return e.what();
    }
    return "(no DriverError)";
}

class WizardDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string program = ProgramFolder() + "\\driver_test_wizard.exe\"";
        program.insert(program.begin(), '"');
        driver_.StartProcess(program);
        main_ = driver_.WaitWindow(kMain);
        status_ = driver_.WaitControl(main_, ControlRef::Id(IDC_STATUS));
    }
    void TearDown() override { driver_.EndProcess(); }

    std::string Status() const { return driver_.Text(status_); }

    WizardDriver driver_{15s};
    wizard::Window main_ = nullptr;
    wizard::Window status_ = nullptr;
};

TEST_F(WizardDriverTest, FindsControlsByTextIdAndClassInsideChildDialogs) {
    const wizard::Window next = driver_.FindControl(main_, ControlRef::Text("&Next >"));
    ASSERT_NE(next, nullptr);
    const wizard::ControlState state = driver_.State(next);
    // The shown page's button, not the hidden page's one of the same text.
    EXPECT_TRUE(state.visible);
    EXPECT_EQ(state.id, IDC_NEXT);
    EXPECT_EQ(state.className, "Button");
    EXPECT_EQ(state.depth, 2);  // a control of a dialog that is a child of the main window

    const wizard::Window name = driver_.FindControl(main_, ControlRef::Id(IDC_NAME, "edit"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(driver_.Text(name), "Ann");
    EXPECT_EQ(driver_.FindControl(main_, ControlRef::Id(IDC_NAME, "Button")), nullptr);
    EXPECT_EQ(driver_.FindControl(main_, ControlRef::Text("&next >")), nullptr);  // exact
    EXPECT_EQ(driver_.FindControl(main_, ControlRef::Text("Next >")), nullptr);   // '&' as written

    // Another top-level window of the program, found by its caption alone.
    EXPECT_NE(driver_.WaitWindow(kOptions), nullptr);
}

TEST_F(WizardDriverTest, FailuresSayWhatWasLookedForAndWhatWasThere) {
    driver_.SetTimeout(300ms);
    const std::string noWindow = FailureOf([&] { driver_.WaitWindow("Welcome"); });
    EXPECT_NE(noWindow.find("no window \"Welcome\" was shown within 0.3 s"), std::string::npos)
        << noWindow;
    EXPECT_NE(noWindow.find("\"Driver Test Wizard\" (KestrelDriverTestWizard, process "),
              std::string::npos)
        << noWindow;

    const std::string noControl =
        FailureOf([&] { driver_.WaitControl(kMain, ControlRef::Text("&Finish")); });
    EXPECT_NE(noControl.find("no control \"&Finish\" in the window \"Driver Test Wizard\""),
              std::string::npos)
        << noControl;
    EXPECT_NE(noControl.find("Button #1010 \"&Next >\" enabled visible"), std::string::npos)
        << noControl;

    const std::string noBox = FailureOf([&] { driver_.WaitMessageBox("Critical Error"); });
    EXPECT_NE(noBox.find("no message box \"Critical Error\" of process"), std::string::npos)
        << noBox;
    EXPECT_NE(noBox.find("message boxes shown: none"), std::string::npos) << noBox;
}

TEST_F(WizardDriverTest, PressingRunsTheHandlerAndStatesFollow) {
    const wizard::Window back = driver_.WaitControl(kMain, ControlRef::Text("< &Back"));
    EXPECT_FALSE(driver_.State(back).enabled);

    driver_.Press(kMain, ControlRef::Text("&Next >"));
    driver_.WaitText(status_, "Next pressed 1");
    EXPECT_TRUE(driver_.State(back).enabled);
    driver_.Press(back);
    driver_.WaitText(status_, "Back pressed");

    // What a person cannot press, the driver does not press either, and says why.
    driver_.SetTimeout(300ms);
    const std::string disabled = FailureOf([&] { driver_.Press(back); });
    EXPECT_NE(disabled.find("could not press Button #1011 \"< &Back\" in \"Driver Test "
                            "Wizard\" within 0.3 s: it is disabled"),
              std::string::npos)
        << disabled;
    const wizard::Window help = driver_.WaitControl(kMain, ControlRef::Id(IDC_HELP_BUTTON));
    EXPECT_FALSE(driver_.State(help).visible);
    EXPECT_NE(FailureOf([&] { driver_.Press(help); }).find("it is hidden"), std::string::npos);

    // A button disabled while the press waits is pressed once it is enabled again.
    driver_.SetTimeout(15s);
    driver_.Press(kMain, ControlRef::Text("&Next >"));
    driver_.Press(back);
    driver_.WaitText(status_, "Back pressed");
}

TEST_F(WizardDriverTest, ChecksAndTypesAsAPersonWould) {
    const wizard::Window remember = driver_.WaitControl(kMain, ControlRef::Text("&Remember"));
    EXPECT_EQ(driver_.State(remember).checked, 0);
    driver_.Press(remember);
    driver_.WaitText(status_, "Remember: on");
    EXPECT_EQ(driver_.State(remember).checked, 1);
    driver_.Press(remember);
    driver_.WaitText(status_, "Remember: off");
    EXPECT_EQ(driver_.State(driver_.WaitControl(kMain, ControlRef::Text("&Ask"))).checked, -1);

    // The page's change handler sees the text, as it would a person's typing.
    driver_.Type(kMain, ControlRef::Id(IDC_NAME), "Ren\xE9 Smith");
    driver_.WaitText(status_, "Name: Ren\xE9 Smith");
    EXPECT_EQ(driver_.Text(driver_.WaitControl(kMain, ControlRef::Id(IDC_NAME))), "Ren\xE9 Smith");
}

TEST_F(WizardDriverTest, AnswersAModalBoxThatHoldsUpTheWizardButNotTheDriver) {
    driver_.Press(kMain, ControlRef::Text("&Ask"));
    const wizard::MessageBoxView box = driver_.WaitMessageBox(kQuestion);
    EXPECT_EQ(box.caption, kQuestion);
    EXPECT_EQ(box.text, "Continue with \"Ann\"?\nSecond line");
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"&Yes", "&No"}));
    // The box disables the page below it: its buttons cannot be pressed meanwhile.
    const wizard::Window next = driver_.WaitControl(kMain, ControlRef::Text("&Next >"));
    EXPECT_FALSE(driver_.State(next).enabled);
    EXPECT_EQ(Status(), "Ready");

    const std::string wrong = FailureOf([&] { driver_.Answer(box, "Yes"); });
    EXPECT_NE(wrong.find("has no button \"Yes\"; its buttons: \"&Yes\", \"&No\""),
              std::string::npos)
        << wrong;

    driver_.Answer(box, "&No");
    EXPECT_FALSE(driver_.FindMessageBox());
    driver_.WaitText(status_, "Answer: No");
    EXPECT_TRUE(driver_.State(next).enabled);

    driver_.Press(kMain, ControlRef::Text("&Ask"));
    EXPECT_EQ(driver_.Answer("&Yes").caption, kQuestion);
    driver_.WaitText(status_, "Answer: Yes");
}

TEST_F(WizardDriverTest, AnyBoxIsAMessageBoxNeverAPageOrDialog) {
    // The program shows a top-level dialog with a static and OK and Cancel of its own.
    ASSERT_NE(driver_.WaitWindow(kOptions), nullptr);
    EXPECT_FALSE(driver_.FindMessageBox());

    driver_.Press(kMain, ControlRef::Text("&Fail"));
    const wizard::MessageBoxView box = driver_.WaitMessageBox();
    EXPECT_EQ(box.caption, "Critical Error");
    EXPECT_EQ(box.text, "Something failed.");
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});

    // The boxes of other programs are not this program's.
    WizardDriver other(300ms);
    other.SetProcess(GetCurrentProcessId());
    EXPECT_FALSE(other.FindMessageBox());

    driver_.Answer(box, "OK");
    driver_.WaitText(status_, "Failure shown");
}

TEST_F(WizardDriverTest, SavesWhatTheWindowShowsAsPng) {
    const std::string path = ProgramFolder() + "\\driver_test_shot.png";
    const png::RgbImage image = driver_.SaveShot(main_, path);

    RECT place{};
    GetWindowRect(static_cast<HWND>(main_), &place);
    ASSERT_EQ(image.width, static_cast<uint32_t>(place.right - place.left));
    ASSERT_EQ(image.height, static_cast<uint32_t>(place.bottom - place.top));
    // The client area's bottom right corner within the picture, and the red square the test
    // wizard paints there on teal.
    RECT client{};
    GetClientRect(static_cast<HWND>(main_), &client);
    POINT corner{client.right, client.bottom};
    ClientToScreen(static_cast<HWND>(main_), &corner);
    const auto right = static_cast<uint32_t>(corner.x - place.left);
    const auto bottom = static_cast<uint32_t>(corner.y - place.top);
    const uint32_t square = RED_SQUARE_MARGIN;
    EXPECT_EQ(image.At(right - square - 1, bottom - square - 1), 0xFF0000u);
    EXPECT_EQ(image.At(right - square - RED_SQUARE_WIDTH, bottom - square - RED_SQUARE_HEIGHT),
              0xFF0000u);
    EXPECT_EQ(image.At(right - square, bottom - square - 1), 0x008080u);
    EXPECT_EQ(image.At(right - square - 1, bottom - square), 0x008080u);
    EXPECT_EQ(image.At(right - square - RED_SQUARE_WIDTH - 1, bottom - square - 1), 0x008080u);
    EXPECT_EQ(image.At(right - square - 20, bottom - square - RED_SQUARE_HEIGHT - 1), 0x008080u);

    // The file is that picture as PNG (read back by an outside reader in the PNG writer's
    // own tests): its header says the size.
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(bytes, png::Encode(image));
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    EXPECT_EQ(bytes[18] << 8 | bytes[19], static_cast<int>(image.width));
    EXPECT_EQ(bytes[22] << 8 | bytes[23], static_cast<int>(image.height));
    file.close();
    DeleteFileA(path.c_str());

    const png::RgbImage screen = driver_.Capture(nullptr);
    EXPECT_EQ(screen.width, static_cast<uint32_t>(GetSystemMetrics(SM_CXVIRTUALSCREEN)));
    EXPECT_EQ(screen.height, static_cast<uint32_t>(GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    EXPECT_EQ(screen.At(static_cast<uint32_t>(corner.x - 20), static_cast<uint32_t>(corner.y - 20)),
              0xFF0000u);

    const std::string hidden = FailureOf(
        [&] { driver_.Capture(driver_.FindControl(main_, ControlRef::Id(IDC_HELP_BUTTON))); });
    EXPECT_NE(hidden.find("it is hidden"), std::string::npos) << hidden;
}

TEST_F(WizardDriverTest, ListsEveryControlForDiagnostics) {
    const std::string listing = driver_.Describe(main_);
    for (const char* line : {
             "  #32770 #0 \"\" enabled visible",  // the page, a child dialog
             "    Button #1010 \"&Next >\" enabled visible at ",
             "    Button #1011 \"< &Back\" disabled visible at ",
             "    Button #1012 \"&Remember\" enabled visible unchecked at ",
             "    Edit #1001 \"Ann\" enabled visible at ",
             "    Button #1015 \"&Help\" enabled hidden at ",
             "    Button #1010 \"&Next >\" enabled hidden at ",  // the hidden page's
         })
        EXPECT_NE(listing.find(line), std::string::npos) << line << " in\n" << listing;
}

TEST_F(WizardDriverTest, SeesTheProgramEnd) {
    EXPECT_FALSE(driver_.WaitExit(0ms).has_value());
    driver_.Press(kMain, ControlRef::Text("&Cancel"));
    EXPECT_EQ(driver_.WaitExit(15s), std::optional<uint32_t>(0));
    driver_.WaitGone(kMain);
    EXPECT_EQ(driver_.FindTopWindow(kMain), nullptr);

    driver_.SetTimeout(300ms);
    const std::string gone = FailureOf([&] { driver_.WaitWindow(kMain); });
    EXPECT_NE(gone.find("the program ended with exit code 0"), std::string::npos) << gone;
}

}  // namespace
