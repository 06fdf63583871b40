// What the start-up code needs of the platform about the running program: its full file name
// (the language modules and the kit's other files are found beside it) and the parameters it
// was started with.
#pragma once

#include <memory>
#include <string>
#include <vector>

class ProgramFileEdge {
public:
    virtual ~ProgramFileEdge() = default;
    // Full file name of the running program; empty when the platform cannot tell or the
    // name does not fit the platform's path capacity (a cut name would lead elsewhere).
    virtual std::string FileName() = 0;
    // The command-line parameters in order, without the program name.
    virtual std::vector<std::string> Parameters() = 0;
};

std::unique_ptr<ProgramFileEdge> MakeProgramFileEdge();
