#include "support/StringList.h"

int TStringList::Add(const std::string& text) {
    items_.push_back(text);
    return static_cast<int>(items_.size()) - 1;
}

void TStringList::EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
}
