// The string manager: every run-time text of the wizard is fetched by its number from the
// string table of the resource module in force (the program itself, or a language module),
// so that it follows the chosen language.
#pragma once

#include <functional>

// Texts are fetched into one shared buffer of this many characters (terminator included),
// so a fetch overwrites the previous one and callers copy the text at once.
constexpr int kStringBufferSize = 4096;

// Message-box styles and answers, with the platform's values, for code that must not see
// the platform's headers.
namespace mb {
constexpr unsigned Ok = 0x0;
constexpr unsigned OkCancel = 0x1;
constexpr unsigned AbortRetryIgnore = 0x2;
constexpr unsigned YesNoCancel = 0x3;
constexpr unsigned YesNo = 0x4;
constexpr unsigned RetryCancel = 0x5;
constexpr unsigned IconStop = 0x10;
constexpr unsigned IconQuestion = 0x20;
constexpr unsigned IconExclamation = 0x30;
constexpr unsigned IconInformation = 0x40;

constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr int IdAbort = 3;
constexpr int IdRetry = 4;
constexpr int IdIgnore = 5;
constexpr int IdYes = 6;
constexpr int IdNo = 7;
}  // namespace mb

// Shows a box and returns the button pressed.
using TMessageBoxPresenter =
    std::function<int(const char* text, const char* caption, unsigned style)>;

class TStringManager {
public:
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
    char buffer_[kStringBufferSize] = {};
};

TStringManager& StringManager();

// Replaces where message boxes go (the application's box by default) and returns the
// previous presenter; an empty presenter restores the application's box. Lets the pages'
// logic be driven without a person at the screen.
TMessageBoxPresenter SetMessageBoxPresenter(TMessageBoxPresenter presenter);
