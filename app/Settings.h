// The wizard's settings for one run, taken from the command line once at start-up and read
// and written directly by the pages. The wizard keeps no settings file of its own.
#pragma once

#include <string>
#include <vector>

#include "support/ProgramFileEdge.h"

struct win32_cfg_type {
    bool advancedMode = false;    // no HotSync backup and restore; the wizard sends the loader
    std::string updateFile;       // full path of the update file to upload
    std::string notifierPath;     // program directory + "kvrnotify.dll"
    std::string conduitPath;      // program directory + "stashmate.dll"
    std::string loaderPath;       // program directory + "sys\Bootlet.prc"
    bool highSpeed = false;       // "-H": 115200 bit/s once the loader answers
    bool directMode = false;      // "-M": open at the connection page, in advanced mode
    std::string commandLineFile;  // update file named on the command line, as typed

    win32_cfg_type() = default;

    // From the program's full file name and the command-line arguments after it. Switches
    // compare in upper case; unknown arguments (and the language words) are ignored.
    win32_cfg_type(const std::string& programFileName, const std::vector<std::string>& arguments);

    // From the running program's file name and command line.
    static win32_cfg_type FromProgram(ProgramFileEdge& program);
};

// The directory part of a file name with its trailing separator ('\' or '/'); empty when
// the name has none.
std::string ProgramDirectory(const std::string& programFileName);
