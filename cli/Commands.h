// The subcommands of kestrel-flash. Each gets the words after its name and returns the
// program's exit status: 0 done, 1 the operation failed, 2 a usage error (already reported
// on standard error).
#pragma once

struct Command {
    const char* name;
    const char* synopsis;  // the arguments, for the usage text
    const char* summary;
    int (*run)(int argc, char** argv);
};

int RunVerify(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunFlash(int argc, char** argv);

// Reports a usage error of `command` on standard error; returns 2.
int UsageError(const char* command, const char* message);
