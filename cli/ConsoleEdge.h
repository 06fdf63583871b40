// What `kestrel-flash flash` needs of the terminal and the process around it: Ctrl-C, whether
// standard error is a terminal (a redrawn bar) or a log (plain lines), and where the program
// lies (its loader sits beside it).
#pragma once

#include <memory>
#include <string>

class ConsoleEdge {
public:
    virtual ~ConsoleEdge() = default;
    // From now on the first Ctrl-C only marks a request to stop, which the update honours at
    // its next progress point; the second ends the process at once (exit 130), for a
    // handheld that has stopped answering and a user who will not wait for the time-outs.
    virtual void CatchInterrupts() = 0;
    // Whether Ctrl-C was pressed since CatchInterrupts.
    virtual bool Interrupted() = 0;
    virtual bool StderrIsTerminal() = 0;
    // Whether `path` names a serial device (a terminal device), not a file, a FIFO or another
    // kind of device. A device that cannot be opened to tell (one in use) counts as one: the
    // port says why it cannot be opened.
    virtual bool IsSerialDevice(const std::string& path) = 0;
    // The folder that holds the running program; empty when it cannot be found.
    virtual std::string ProgramDirectory() = 0;
};

std::unique_ptr<ConsoleEdge> MakeConsoleEdge();
