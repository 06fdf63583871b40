// The subcommands of kestrel-flash. Each lists its options as data; main reads the words after
// the command's name by them (cli/Arguments.h) and hands the command what it read. A command
// returns the program's exit status: 0 done, 1 the operation failed, 2 a usage error (already
// reported on standard error).
#pragma once

#include <span>

#include "cli/Arguments.h"

struct Command {
    const char* name;
    const char* synopsis;  // the arguments, for the usage text
    const char* summary;
    std::span<const OptionSpec> options;
    int (*run)(const Arguments& arguments);
};

int RunVerify(const Arguments& arguments);
int RunInfo(const Arguments& arguments);
int RunFlash(const Arguments& arguments);

// Reports a usage error of `command` on standard error; returns 2.
int UsageError(const char* command, const char* message);
