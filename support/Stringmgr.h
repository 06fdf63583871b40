// The string manager: every run-time text of the wizard is fetched by its number from the
// string table of the resource module in force (the program itself, or a language module),
// so that it follows the chosen language.
#pragma once

#include <cstdint>
#include <string>

// Texts are fetched into one shared buffer of this many characters (terminator included),
// so a fetch overwrites the previous one and callers copy the text at once.
constexpr int kStringBufferSize = 4096;

class TStringManager {
public:
    // The text with this id. A missing or empty string raises EOSError with the platform's
    // last error.
    const char* GetString(int id);

    // The same without raising: nullptr when the string is missing or empty.
    const char* TryGetString(int id);

    // Message boxes of the application; they return the button pressed (IDOK, IDYES, ...).
    int MsgBox(int textId, int captionId, unsigned style);
    int MsgBox(const char* text, int captionId, unsigned style);

private:
    char buffer_[kStringBufferSize] = {};
};

TStringManager& StringManager();
