// Test equipment: a page dialog held in memory. It records what the page asked of the main
// window and its controls, and answers the page's questions from a queue.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/PageUi.h"
#include "base/MessageBoxEdge.h"
#include "base/StringIds.h"

class FakePageUi final : public PageUi {
public:
    void PostShowPage(int id) override { events.push_back("post show " + std::to_string(id)); }
    void SendShowPage(int id) override { events.push_back("send show " + std::to_string(id)); }
    void SendPrevPage() override { events.push_back("send prev"); }
    void PostPrevPage() override { events.push_back("post prev"); }
    void PostClose() override { events.push_back("post close"); }
    void PostStartUpload() override { events.push_back("post start upload"); }
    void CloseMain() override { events.push_back("close main"); }
    void SetDeviceType(uint8_t type) override { deviceType = type; }
    bool HasPicture(int control) override { return pictures.count(control) != 0; }
    void SetPicture(int control, Picture picture) override { pictures[control] = picture; }
    int Ask(int textId, int captionId, unsigned style) override {
        asked.push_back({textId, captionId, style});
        if (answers.empty()) return mb::IdCancel;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int AskText(const std::string& text, int captionId, unsigned style) override {
        told.push_back(text);
        return Ask(0, captionId, style);
    }
    int AskFixed(const std::string& text, const std::string& caption, unsigned style) override {
        told.push_back(caption + ": " + text);
        return Ask(0, 0, style);
    }
    std::string String(int id) override {
        for (const TStringRow& row : EnglishStrings())
            if (row.id == id) return row.text;
        return {};
    }
    void Beep() override { events.push_back("beep"); }
    void BusyCursor(bool busy) override { events.push_back(busy ? "busy" : "not busy"); }
    void HideMain() override { events.push_back("hide main"); }
    void DrawCursor(int control, bool black) override { cursors.push_back({control, black}); }
    void SetChecked(int control, bool checked) override { Mark(checked_, control, checked); }
    bool IsChecked(int control) override { return checked_.count(control) != 0; }
    void MoveBy(int control, int dx) override { moved[control] += dx; }
    void Focus(int control) override { focused = control; }
    void SetEnabled(int control, bool enabled) override { Mark(disabled, control, !enabled); }
    void SetVisible(int control, bool visible) override { Mark(hidden, control, !visible); }
    void SetText(int control, const std::string& text) override { texts[control] = text; }
    std::string GetText(int control) override { return texts[control]; }
    bool OpenFile(const std::string& directory, const std::string& fileName,
                  const std::string& filter, std::string& chosen) override {
        opened.push_back({directory, fileName, filter});
        if (picked.empty()) return false;
        chosen = picked;
        return true;
    }
    void SetBold(int control, bool bold) override { Mark(bolds, control, bold); }
    void StartTimer(int timer, unsigned ms) override { timers[timer] = ms; }
    void StopTimer(int timer) override { timers.erase(timer); }
    void ProcessMessages() override {
        ++messageRounds;
        if (onMessages) onMessages();
    }
    void SetGauge(int control, int position) override { gauges[control] = position; }
    void SetGaugeRunning(int control, bool running) override {
        Mark(runningGauges, control, running);
    }
    void* Window() override { return this; }

    struct Question {
        int text, caption;
        unsigned style;
        bool operator==(const Question&) const = default;
    };
    std::vector<std::string> events;
    std::vector<Question> asked;
    std::deque<int> answers;
    int focused = 0;
    std::set<int> disabled, hidden;
    std::map<int, std::string> texts;
    std::map<int, Picture> pictures;
    std::vector<std::string> told;  // texts of AskText
    std::vector<std::pair<int, bool>> cursors;
    std::map<int, int> moved;
    std::set<int> bolds;
    int deviceType = -1;
    int messageRounds = 0;
    struct OpenDialog {
        std::string directory, fileName, filter;
        bool operator==(const OpenDialog&) const = default;
    };
    std::vector<OpenDialog> opened;
    std::string picked;  // what the user picks in the open dialog; empty: cancels
    // What the user does while the page lets messages through.
    std::function<void()> onMessages;
    std::map<int, int> gauges;
    std::set<int> runningGauges;
    std::map<int, unsigned> timers;  // running ones and their periods

private:
    std::set<int> checked_;
    static void Mark(std::set<int>& set, int control, bool in) {
        if (in)
            set.insert(control);
        else
            set.erase(control);
    }
};
