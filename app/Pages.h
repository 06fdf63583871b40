// The behaviour behind each page of the wizard, made for its dialog at start.
#pragma once

#include <memory>

#include "app/PageUi.h"

// The logic of the page `id` (app/Pages.def), working through `ui`, on the program's
// settings and HotSync environment (app/Wizard.h).
std::unique_ptr<PageLogic> MakePageLogic(int id, PageUi& ui);
