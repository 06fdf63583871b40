// What the string manager's message boxes need of the platform: the application's box.
#pragma once

#include <memory>

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
constexpr unsigned DefaultButton2 = 0x100;

constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr int IdAbort = 3;
constexpr int IdRetry = 4;
constexpr int IdIgnore = 5;
constexpr int IdYes = 6;
constexpr int IdNo = 7;
}  // namespace mb

class MessageBoxEdge {
public:
    virtual ~MessageBoxEdge() = default;
    // Shows a box owned by the application and returns the button pressed (mb::IdOk, ...).
    virtual int Show(const char* text, const char* caption, unsigned style) = 0;
};

std::unique_ptr<MessageBoxEdge> MakeMessageBoxEdge();
