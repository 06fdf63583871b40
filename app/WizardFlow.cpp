#include "app/WizardFlow.h"

#include "app/Settings.h"

namespace {

struct PageRow {
    int id;
    const char* className;
    const char* caption;
};
constexpr PageRow kPages[] = {
#define PAGE(id, name, cls, caption) {id, #cls, caption},
#include "app/Pages.def"
#undef PAGE
};

const PageRow* Row(int id) {
    for (const PageRow& row : kPages)
        if (row.id == id) return &row;
    return nullptr;
}

}  // namespace

const char* page::ClassName(int id) {
    const PageRow* row = Row(id);
    return row ? row->className : nullptr;
}

const char* page::Caption(int id) {
    const PageRow* row = Row(id);
    return row ? row->caption : nullptr;
}

void TWizardFlow::AddPage(int id, WizardPage& page) { pages_[id] = &page; }

int TWizardFlow::FirstPage(const win32_cfg_type& settings) {
    return settings.directMode ? page::Connection : page::Welcome;
}

bool TWizardFlow::ShowPage(int id) {
    const auto it = pages_.find(id);
    if (it == pages_.end()) return false;
    WizardPage* const old = current_;
    WizardPage* const next = it->second;
    current_ = next;
    // The user may have moved the page; the next one takes its place.
    if (old) next->PlaceAt(old->Position());
    next->Show();
    // Its entry work runs before the old page goes, so the screen never shows no page.
    next->Activate();
    if (old && old != next) {
        next->Tag = old;
        old->Hide();
    }
    return true;
}

bool TWizardFlow::PrevPage() {
    if (!current_ || !current_->Tag) return false;
    WizardPage* const old = current_;
    current_ = old->Tag;
    current_->Show();
    current_->Activate();
    if (current_ != old) old->Hide();
    return true;
}

bool TWizardFlow::CloseQuery() { return !current_ || current_->CloseQuery(); }

int TWizardFlow::CurrentId() const {
    for (const auto& [id, page] : pages_)
        if (page == current_) return id;
    return 0;
}
