// What `kestrel-flash flash` needs of the terminal and the process around it: Ctrl-C and the
// other requests to end, whether standard error is a terminal (a redrawn bar) or a log (plain
// lines), and where the program lies (its loader sits beside it).
#pragma once

#include <memory>
#include <string>

class ConsoleEdge {
public:
    virtual ~ConsoleEdge() = default;
    // From now on the first Ctrl-C only marks a request to stop, which the update honours at
    // its next progress point; the second ends the process at once (exit 130), for a
    // handheld that has stopped answering and a user who will not wait for the time-outs.
    // A request to end from elsewhere (SIGTERM: a service manager, kill; SIGHUP: the terminal
    // or session went away) is taken alike: ended by the default action instead, it would
    // leave the loader at 115200 bit/s, where the next run cannot reach it. A second one
    // ends the process at once with 128 + its number.
    virtual void CatchInterrupts() = 0;
    // Whether a request to stop came since CatchInterrupts.
    virtual bool Interrupted() = 0;
    virtual bool StderrIsTerminal() = 0;
    // The folder that holds the running program; empty when it cannot be found.
    virtual std::string ProgramDirectory() = 0;
};

std::unique_ptr<ConsoleEdge> MakeConsoleEdge();
