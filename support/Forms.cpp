#include "support/Forms.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<TReloadableForm*>& Registry() {
    static std::vector<TReloadableForm*> forms;
    return forms;
}

}  // namespace

TReloadableForm::TReloadableForm() { Registry().push_back(this); }

TReloadableForm::~TReloadableForm() {
    auto& forms = Registry();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

void ReinitializeForms() {
    // A form may create or destroy forms while re-reading itself; walk a snapshot and skip
    // the ones that are gone by the time their turn comes.
    const std::vector<TReloadableForm*> snapshot = Registry();
    for (TReloadableForm* form : snapshot) {
        const auto& live = Registry();
        if (std::find(live.begin(), live.end(), form) != live.end()) form->ReadFromResources();
    }
}

int FormCount() { return static_cast<int>(Registry().size()); }
