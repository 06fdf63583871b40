#include "app/Settings.h"

#include "base/Text.h"

std::string ProgramDirectory(const std::string& programFileName) {
    const auto separator = programFileName.find_last_of("\\/");
    return separator == std::string::npos ? std::string()
                                          : programFileName.substr(0, separator + 1);
}

win32_cfg_type::win32_cfg_type(const std::string& programFileName,
                               const std::vector<std::string>& arguments) {
    const std::string directory = ProgramDirectory(programFileName);
    // The loader lives in a sub-folder; name it with the separator the program's own path
    // uses, so that a native path stays a native path.
    const char separator = (!directory.empty() && directory.back() == '/') ? '/' : '\\';
    notifierPath = directory + "kvrnotify.dll";
    conduitPath = directory + "stashmate.dll";
    loaderPath = directory + "sys" + separator + "Bootlet.prc";

    for (const std::string& argument : arguments) {
        const std::string upper = UpperCase(argument);
        if (upper == "-H") highSpeed = true;
        if (upper == "-M") {
            directMode = true;
            advancedMode = true;
        }
        if (upper.find(".UPD") != std::string::npos) commandLineFile = argument;
    }
}

win32_cfg_type win32_cfg_type::FromProgram(ProgramFileEdge& program) {
    return win32_cfg_type(program.FileName(), program.Parameters());
}
