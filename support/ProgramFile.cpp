#include "support/ProgramFile.h"

#include <utility>

#include "support/ProgramFile_edge.h"

namespace {
std::string g_programFileName;
}

std::string ProgramFileName() {
    if (!g_programFileName.empty()) return g_programFileName;
    return programfile_edge::RunningProgramFileName();
}

void SetProgramFileName(std::string fileName) { g_programFileName = std::move(fileName); }

std::vector<std::string> CommandLineParameters() {
    return programfile_edge::CommandLineParameters();
}
