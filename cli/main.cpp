// kestrel-flash: the update engine on the command line, for Linux users and for tests.
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"

namespace {

const char kFlashHelp[] = R"(
flash --port DEVICE [--advanced [--loader FILE]] [--high-speed] [--timeout SECONDS]
      [--yes] [--log FILE] FILE
writes FILE into the handheld on DEVICE (a serial device such as /dev/ttyUSB0 or a
pseudo-terminal). The file is checked first; nothing on the handheld is touched for a file
that fails the check or is not for a Halvex handheld.
  (normal mode)      the loader (Bootlet) already runs on the handheld: wait for it, check
                     the battery, the device and the size, erase the RAM store and flash the
                     OS sections that differ. RAM data of the file is not installed.
  --advanced         the handheld waits in its ROM debugger: send the loader through it
                     (sys/Bootlet.prc beside kestrel-flash, or --loader FILE), wait for it,
                     check that the handheld is a Halvex one and the size, erase the RAM
                     store, flash the OS and install the file's RAM data as well
  --high-speed       switch the line to 115200 bit/s once the loader answers
  --timeout SECONDS  how long each wait for the handheld lasts (default 60)
  --yes              flash a file made for another device than the handheld's (normal mode)
  --log FILE         append the engine's diagnostic narration to FILE
Progress goes to standard error. A failure of the engine ends with the line
"error CODE: TEXT". Ctrl-C stops at the next block (error -307) or ends a wait (-1101);
a second Ctrl-C ends the program at once (exit 130). SIGTERM and SIGHUP are taken alike
(a second one exits with 143 or 129).
)";

constexpr OptionSpec kInfoOptions[] = {{"--json", OptionKind::Switch}};
constexpr OptionSpec kFlashOptions[] = {
    {"--port", OptionKind::Text},       {"--advanced", OptionKind::Switch},
    {"--loader", OptionKind::Text},     {"--high-speed", OptionKind::Switch},
    {"--timeout", OptionKind::Seconds}, {"--yes", OptionKind::Switch},
    {"--log", OptionKind::Text},
};

const Command kCommands[] = {
    {"verify", "FILE", "check an update file's integrity: prints OK or the error", {}, RunVerify},
    {"info", "[--json] FILE", "describe an update file: header, sizes and sections", kInfoOptions,
     RunInfo},
    {"flash", "--port DEVICE [OPTIONS] FILE",
     "write the update file's OS into a handheld's flash over a serial line", kFlashOptions,
     RunFlash},
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "Usage: kestrel-flash COMMAND [ARGS]\n\nCommands:\n");
    for (const Command& c : kCommands) {
        if (std::strlen(c.synopsis) <= 16)
            std::fprintf(to, "  %-6s %-16s %s\n", c.name, c.synopsis, c.summary);
        else
            std::fprintf(to, "  %-6s %s\n         %s\n", c.name, c.synopsis, c.summary);
    }
    std::fprintf(to, "%s", kFlashHelp);
    std::fprintf(to,
                 "\nExit status: 0 done, 1 the operation failed, 2 usage error.\n"
                 "info reports failures in its output and exits 0.\n");
}

const Command* FindCommand(const char* name) {
    for (const Command& c : kCommands)
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

}  // namespace

int UsageError(const char* command, const char* message) {
    std::fprintf(stderr, "kestrel-flash %s: %s\n", command, message);
    if (const Command* c = FindCommand(command))
        std::fprintf(stderr, "Usage: kestrel-flash %s %s\n", c->name, c->synopsis);
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "help") == 0 || std::strcmp(name, "--help") == 0 ||
        std::strcmp(name, "-h") == 0) {
        PrintUsage(stdout);
        return 0;
    }
    const Command* command = FindCommand(name);
    if (!command) {
        std::fprintf(stderr, "kestrel-flash: unknown command '%s'\n\n", name);
        PrintUsage(stderr);
        return 2;
    }
    Arguments arguments;
    if (const int bad =
            ReadArguments(command->name, command->options, argc - 2, argv + 2, arguments))
        return bad;
    return command->run(arguments);
}
