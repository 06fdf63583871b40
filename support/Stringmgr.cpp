#include "support/Stringmgr.h"

#include <cstdio>
#include <string>

#include "support/Exceptions.h"
#include "support/Stringmgr_edge.h"

EOSError::EOSError(unsigned long code)
    : std::runtime_error("System Error.  Code: " + std::to_string(code) + "."), code_(code) {}

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
    const std::string caption = GetString(captionId);
    const std::string text = GetString(textId);
    return stringmgr_edge::ShowMessageBox(text.c_str(), caption.c_str(), style);
}

int TStringManager::MsgBox(const char* text, int captionId, unsigned style) {
    const std::string ownText = text ? text : "";
    const std::string caption = GetString(captionId);
    return stringmgr_edge::ShowMessageBox(ownText.c_str(), caption.c_str(), style);
}

TStringManager& StringManager() {
    static TStringManager manager;
    return manager;
}
