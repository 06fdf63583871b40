// The string manager: every run-time text of the wizard is fetched by its number from the
// string table of the resource module in force (the program itself, or a language module),
// so that it follows the chosen language; message boxes are shown from such numbers.
#pragma once

#include <memory>

#include "base/MessageBoxEdge.h"
#include "base/StringTableEdge.h"

// Texts are fetched into one shared buffer of this many characters (terminator included),
// so a fetch overwrites the previous one and callers copy the text at once.
constexpr int kStringBufferSize = 4096;

class TStringManager {
public:
    explicit TStringManager(std::unique_ptr<StringTableEdge> strings = MakeStringTableEdge(),
                            std::unique_ptr<MessageBoxEdge> boxes = MakeMessageBoxEdge());

    // The text with this id, cut to kStringBufferSize - 1 characters. A missing or empty
    // string raises EOSError with the platform's last error.
    const char* GetString(int id);

    // The same without raising: nullptr when the string is missing or empty.
    const char* TryGetString(int id);

    // Message boxes of the application; they return the button pressed (mb::IdOk, ...).
    // The caption is fetched first, then the text; a missing string raises before any box
    // is shown.
    int MsgBox(int textId, int captionId, unsigned style);
    int MsgBox(const char* text, int captionId, unsigned style);

private:
    std::unique_ptr<StringTableEdge> strings_;
    std::unique_ptr<MessageBoxEdge> boxes_;
    char buffer_[kStringBufferSize] = {};
};

// The program's one string manager, on the platform's string table and message box.
TStringManager& StringManager();
