// The scenarios' common roads through the wizard, on a desk of the simulated world: the page
// waits that end on an unexpected message box with its text, and the walks of normal and
// advanced mode up to the upload, each step as a person at the desk would take it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "app/PageControls.h"
#include "tests/e2e/wizard/WizardWorld.h"

namespace e2e {

using wizard::ControlRef;

inline ControlRef Id(int id) { return ControlRef::Id(id); }
inline ControlRef Text(const char* text) { return ControlRef::Text(text); }

inline constexpr auto kFlashWait = std::chrono::seconds(90);

class Wizard : public ::testing::Test {
protected:
    // Whatever HotSync a scenario made, its backup was the kit's conduit's: HotSync Manager's
    // own backup standing in for it would prove nothing of the kit.
    void TearDown() override {
        if (!desk_) return;
        std::ifstream log(desk_->UserFolder() + "\\HotSync.log");
        const std::string ours = "Backup conduit " + desk_->kit + "\\stashmate.dll ran";
        for (std::string line; std::getline(log, line);) {
            if (line.rfind("Backup conduit ", 0) == 0) {
                EXPECT_EQ(line.rfind(ours, 0), 0u) << line;
            }
        }
    }

    // Presses a control of a page.
    void Press(const char* page, const ControlRef& control) { desk_->driver.Press(page, control); }
    bool Enabled(const char* page, const ControlRef& control) {
        const auto& d = desk_->driver;
        return d.State(d.WaitControl(page, control)).enabled;
    }
    bool Visible(const char* page, const ControlRef& control) {
        const auto& d = desk_->driver;
        return d.State(d.WaitControl(page, control)).visible;
    }
    void WaitVisible(const char* page, int id, std::chrono::milliseconds timeout) {
        auto& d = desk_->driver;
        const auto before = d.Timeout();
        d.SetTimeout(timeout);
        d.WaitUntil([&] { return Visible(page, Id(id)); },
                    std::string(page) + ": control " + std::to_string(id) + " shown");
        d.SetTimeout(before);
    }
    // Waits until the page's Next can be pressed (or a box appears, which fails the wait
    // with its text).
    void WaitNext(const char* page, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
        auto& d = desk_->driver;
        const auto before = d.Timeout();
        d.SetTimeout(timeout);
        d.WaitUntil([&] { return !d.FindMessageBox() && Enabled(page, Id(IDC_PAGE_NEXT)); },
                    std::string(page) + ": Next enabled",
                    [&] {
                        const auto box = d.FindMessageBox();
                        return box ? "a box \"" + box->caption + "\": " + box->text
                                   : d.Describe(d.WaitWindow(page));
                    });
        d.SetTimeout(before);
    }
    // Waits for a page; a message box instead ends the scenario with its text.
    void WaitPage(const char* page, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
        auto& d = desk_->driver;
        const auto before = d.Timeout();
        d.SetTimeout(timeout);
        d.WaitUntil([&] { return d.FindTopWindow(page) || d.FindMessageBox(); },
                    std::string("page \"") + page + "\"");
        d.SetTimeout(before);
        if (const auto box = d.FindMessageBox())
            throw wizard::DriverError("waiting for \"" + std::string(page) + "\", a box \"" +
                                      box->caption + "\": " + box->text);
    }
    std::string AnswerBox(const char* button, const char* caption = "") {
        return desk_->driver.Answer(button, caption).text;
    }

    // Welcome, normal mode, the backup HotSync pressed on HotSync Manager's window, the reset
    // pressed on the handheld once the page asks for it, and Next once the loader answers.
    void NormalRoadToUpload() {
        WaitPage(language_.welcome);
        Shot(language_.welcome, "1210-welcome");
        Press(language_.welcome, Id(IDC_WELCOME_NORMAL));
        WaitPage(language_.hotSync);
        Shot(language_.hotSync, "1209-hotsync");
        desk_->PressHotSync();
        WaitVisible(language_.hotSync, IDC_HS_STATUS_RESET, std::chrono::seconds(60));
        Shot(language_.hotSync, "1209-hotsync-reset");
        desk_->Press("reset");
        WaitNext(language_.hotSync, std::chrono::seconds(30));
        Shot(language_.hotSync, "1209-hotsync-connected");
        Press(language_.hotSync, Id(IDC_PAGE_NEXT));
    }

    // Welcome, advanced mode confirmed, the reset page, and the connection page's test
    // passed on the handheld started in its ROM's serial mode.
    void AdvancedRoadToBrowse() {
        WaitPage(language_.welcome);
        Press(language_.welcome, Id(IDC_WELCOME_ADVANCED));
        AnswerBox("OK");
        WaitPage(language_.reset);
        Shot(language_.reset, "1214-reset");
        Press(language_.reset, Id(IDC_PAGE_NEXT));
        PassConnectionTest();
    }
    void PassConnectionTest() {
        WaitPage(language_.connection);
        Shot(language_.connection, "1202-connection");
        Press(language_.connection, Id(IDC_CONN_COM1 + 2));
        Press(language_.connection, Id(IDC_CONN_TEST));
        WaitNext(language_.connection, std::chrono::seconds(30));
        Shot(language_.connection, "1202-connection-passed");
        Press(language_.connection, Id(IDC_PAGE_NEXT));
    }

    // A picture of the page when the scenario keeps them (see shots_).
    void Shot(const char* page, const char* name) {
        if (shots_) desk_->Shot(page, language_.code, name);
    }

    Language language_ = kEnglish;
    bool shots_ = false;
    std::unique_ptr<Desk> desk_;
};

}  // namespace e2e
