// kestrel-flash: the update engine on the command line, for Linux users and for tests.
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"

namespace {

const Command kCommands[] = {
    {"verify", "FILE", "check an update file's integrity: prints OK or the error", RunVerify},
    {"info", "[--json] FILE", "describe an update file: header, sizes and sections", RunInfo},
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "Usage: kestrel-flash COMMAND [ARGS]\n\nCommands:\n");
    for (const Command& c : kCommands)
        std::fprintf(to, "  %-6s %-16s %s\n", c.name, c.synopsis, c.summary);
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
    return command->run(argc - 2, argv + 2);
}
