// A list box as the helpers see it: its items. The window binding of a page supplies items
// that write through to the control.
#pragma once

#include "support/StringList.h"

class TListBox {
public:
    explicit TListBox(TStrings& items) : items_(items) {}
    TStrings& Items() { return items_; }

private:
    TStrings& items_;
};
