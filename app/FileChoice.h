// Which update file to write, found automatically once the loader is connected in normal
// mode: the update files beside the program, those made for another device dropped; one left
// is taken, several are offered in the selection dialog, none leads to the browse page.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/PageUi.h"
#include "support/FileSearchEdge.h"

struct win32_cfg_type;
class TPilotManager;

// The selection dialog: a list of names, OK, Browse and Cancel.
class FileSelectUi {
public:
    enum class Answer { Ok, Browse, Cancel };
    virtual ~FileSelectUi() = default;
    // Shows the dialog until the user answers; `selected` is the chosen name's index on OK.
    virtual Answer Choose(const std::vector<std::string>& names, int& selected) = 0;
};

struct FileChoiceWorld {
    std::string programDirectory;  // with its trailing separator
    std::unique_ptr<FileSearchEdge> search;
    std::function<uint16_t(const std::string& path)> deviceOf;  // the file's device code
    FileSelectUi* select = nullptr;
};

void ChooseUpdateFile(PageUi& ui, win32_cfg_type& settings, TPilotManager& link,
                      const FileChoiceWorld& world);

inline constexpr const char* kIncompatibleDeviceText =
    "This program is to be used to install a new OS on a KVR or Halvex device only!";
inline constexpr const char* kIncompatibleDeviceCaption = "Incompatible device";
