#include "base/Stringmgr.h"

#include <string>
#include <utility>

#include "base/Exceptions.h"

EOSError::EOSError(unsigned long code)
    : std::runtime_error("System Error.  Code: " + std::to_string(code) + "."), code_(code) {}

TStringManager::TStringManager(std::unique_ptr<StringTableEdge> strings,
                               std::unique_ptr<MessageBoxEdge> boxes)
    : strings_(std::move(strings)), boxes_(std::move(boxes)) {}

const char* TStringManager::TryGetString(int id) {
    if (strings_->Load(id, buffer_, kStringBufferSize) <= 0) return nullptr;
    return buffer_;
}

const char* TStringManager::GetString(int id) {
    const char* text = TryGetString(id);
    if (!text) throw EOSError(strings_->LastError());
    return text;
}

int TStringManager::MsgBox(int textId, int captionId, unsigned style) {
    // Both texts share the one buffer, so each is copied before the next fetch.
    const std::string caption = GetString(captionId);
    const std::string text = GetString(textId);
    return boxes_->Show(text.c_str(), caption.c_str(), style);
}

int TStringManager::MsgBox(const char* text, int captionId, unsigned style) {
    // The text may itself live in the shared buffer (a fetched and formatted message).
    const std::string ownText = text ? text : "";
    const std::string caption = GetString(captionId);
    return boxes_->Show(ownText.c_str(), caption.c_str(), style);
}

TStringManager& StringManager() {
    static TStringManager manager;
    return manager;
}
