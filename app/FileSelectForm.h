// The selection dialog of the update file choice, on Windows: a modal dialog listing the
// names, with OK (or a double click), Browse and Cancel.
#pragma once

#include <memory>

#include "app/FileChoice.h"

std::unique_ptr<FileSelectUi> MakeFileSelectForm();
