// What the file list needs of the platform: a directory search with a wildcard.
#pragma once

#include <functional>
#include <string>

#include "support/Filelist.h"

namespace filelist_edge {

// Calls found for every match of searchPath (a directory part and a wildcard, as the
// platform's search takes them) that is not a directory; the entry's directory field is left
// to the caller. False when the search cannot be made (its directory does not exist); true
// otherwise, also when nothing matches.
bool FindFiles(const std::string& searchPath, const std::function<void(TFile&&)>& found);

}  // namespace filelist_edge
