#include "support/Stringmgr.h"

#include <string>
#include <utility>

#include "support/Exceptions.h"
#include "support/Stringmgr_edge.h"

EOSError::EOSError(unsigned long code)
    : std::runtime_error("System Error.  Code: " + std::to_string(code) + "."), code_(code) {}

namespace {

TMessageBoxPresenter& Presenter() {
    static TMessageBoxPresenter presenter;
    return presenter;
}

int ShowBox(const char* text, const char* caption, unsigned style) {
    if (Presenter()) return Presenter()(text, caption, style);
    return stringmgr_edge::ShowMessageBox(text, caption, style);
}

}  // namespace

const char* TStringManager::TryGetString(int id) {
    if (stringmgr_edge::FetchString(id, buffer_, kStringBufferSize) <= 0) return nullptr;
    return buffer_;
}

const char* TStringManager::GetString(int id) {
    const char* text = TryGetString(id);
    if (!text) throw EOSError(stringmgr_edge::LastError());
    return text;
}

int TStringManager::MsgBox(int textId, int captionId, unsigned style) {
    // Both texts share the one buffer, so each is copied before the next fetch.
    const std::string caption = GetString(captionId);
    const std::string text = GetString(textId);
    return ShowBox(text.c_str(), caption.c_str(), style);
}

int TStringManager::MsgBox(const char* text, int captionId, unsigned style) {
    // The text may itself live in the shared buffer (a fetched and formatted message).
    const std::string ownText = text ? text : "";
    const std::string caption = GetString(captionId);
    return ShowBox(ownText.c_str(), caption.c_str(), style);
}

TStringManager& StringManager() {
    static TStringManager manager;
    return manager;
}

TMessageBoxPresenter SetMessageBoxPresenter(TMessageBoxPresenter presenter) {
    return std::exchange(Presenter(), std::move(presenter));
}
