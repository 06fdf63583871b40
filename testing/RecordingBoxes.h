// Test equipment: a message box that shows nothing, keeps every box it was asked for and
// answers with the button the test chose, so a test can read what the user would have seen.
#pragma once

#include <string>
#include <vector>

#include "base/MessageBoxEdge.h"

struct ShownBox {
    std::string text;
    std::string caption;
    unsigned style = 0;
};

// What the boxes showed, kept by the test: the edge itself goes to the code under test.
struct BoxRecord {
    std::vector<ShownBox> shown;
    int answer = mb::IdOk;
};

class RecordingBoxes final : public MessageBoxEdge {
public:
    // Boxes nobody looks at afterwards, answered with OK.
    RecordingBoxes() : record_(own_) {}
    explicit RecordingBoxes(BoxRecord& record) : record_(record) {}
    RecordingBoxes(const RecordingBoxes&) = delete;
    RecordingBoxes& operator=(const RecordingBoxes&) = delete;

    int Show(const char* text, const char* caption, unsigned style) override {
        record_.shown.push_back({text, caption, style});
        return record_.answer;
    }

private:
    BoxRecord own_;
    BoxRecord& record_;
};
