// The running program as the start-up code sees it: its full file name (the settings and the
// language modules are found beside it) and the parameters it was started with.
#pragma once

#include <string>
#include <vector>

// Full file name of the program, or the name put in its place by SetProgramFileName. Empty
// when the platform cannot tell (or the name does not fit the platform's path capacity).
std::string ProgramFileName();

// Makes the program look as if it were started from this file name (a test program posing
// as the wizard, to find modules built for the wizard); an empty name undoes it.
void SetProgramFileName(std::string fileName);

// The command-line parameters in order, without the program name.
std::vector<std::string> CommandLineParameters();
