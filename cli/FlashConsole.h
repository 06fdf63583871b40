// What `kestrel-flash flash` needs of the terminal and the process around it: Ctrl-C, whether
// standard error is a terminal (a redrawn bar) or a log (plain lines), and where the program
// lies (its loader sits beside it).
#pragma once

#include <string>

namespace flash_console {

// From now on the first Ctrl-C only marks a request to stop, which the flash procedure
// honours at its next progress point; the second ends the process at once (exit 130), for a
// handheld that has stopped answering and a user who will not wait for the time-outs.
void CatchInterrupts();
// Whether Ctrl-C was pressed since CatchInterrupts.
bool Interrupted();

bool StderrIsTerminal();

// The folder that holds the running program; empty when it cannot be found.
std::string ProgramDirectory();

}  // namespace flash_console
