// The words after a command's name, read by one rule for every command. A command lists its
// options as data (OptionSpec); the rule is this reader's:
//   - a word starting with '-' is an option ("-" alone is a file name; "--" ends the options);
//   - an option's value is the next word or follows '=' ("--port=/dev/ttyS0"), and may not be
//     empty; a switch takes none;
//   - each option is given at most once (which of two values was meant cannot be told);
//   - a number is digits only: no blanks, no sign, nothing after it;
//   - exactly one word is no option: the update file.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

enum class OptionKind : uint8_t {
    Switch,   // given or not: --yes
    Text,     // a value: --port DEVICE
    Seconds,  // whole seconds from 1 to kMostSeconds: --timeout SECONDS
};

struct OptionSpec {
    const char* name;  // "--port"
    OptionKind kind;
};

// A day: a longer wait is a slip of the finger, not a wish.
constexpr uint32_t kMostSeconds = 24 * 60 * 60;

class Arguments {
public:
    bool Given(std::string_view option) const;
    // The option's value; empty for one not given and for a switch.
    std::string Value(std::string_view option) const;
    // A Seconds option's value; `fallback` when it was not given.
    uint32_t Seconds(std::string_view option, uint32_t fallback) const;
    // The update file.
    const std::string& File() const { return file_; }

private:
    friend int ReadArguments(const char*, std::span<const OptionSpec>, int, char**, Arguments&);
    std::map<std::string, std::string, std::less<>> values_;
    std::string file_;
};

// Reads the words of `command` by its `options`. Returns 0, or 2 for a usage error, which is
// reported on standard error.
int ReadArguments(const char* command, std::span<const OptionSpec> options, int argc, char** argv,
                  Arguments& out);
