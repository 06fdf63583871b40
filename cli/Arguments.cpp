#include "cli/Arguments.h"

#include <string>

#include "cli/Commands.h"

namespace {

constexpr size_t kMostDigits = 9;  // enough for any value in range, and no overflow

// Digits only: strtoul would take " 5", "+5" and "5x" for 5, and "-5" for a huge number.
bool ReadSeconds(const std::string& text, uint32_t& seconds) {
    if (text.empty() || text.size() > kMostDigits) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > kMostSeconds) return false;
    seconds = value;
    return true;
}

const OptionSpec* Find(std::span<const OptionSpec> options, std::string_view name) {
    for (const OptionSpec& option : options)
        if (name == option.name) return &option;
    return nullptr;
}

}  // namespace

bool Arguments::Given(std::string_view option) const { return values_.contains(option); }

std::string Arguments::Value(std::string_view option) const {
    const auto found = values_.find(option);
    return found == values_.end() ? std::string() : found->second;
}

uint32_t Arguments::Seconds(std::string_view option, uint32_t fallback) const {
    uint32_t seconds = fallback;
    const auto found = values_.find(option);
    if (found != values_.end()) ReadSeconds(found->second, seconds);
    return seconds;
}

int ReadArguments(const char* command, std::span<const OptionSpec> options, int argc, char** argv,
                  Arguments& out) {
    bool optionsEnded = false;
    bool fileGiven = false;
    for (int i = 0; i < argc; ++i) {
        std::string word = argv[i];
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            if (fileGiven) return UsageError(command, "expected one FILE");
            out.file_ = word;
            fileGiven = true;
            continue;
        }
        std::string value;
        const size_t equals = word.find('=');
        const bool inlineValue = word.starts_with("--") && equals != std::string::npos;
        if (inlineValue) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        const OptionSpec* option = Find(options, word);
        if (!option) return UsageError(command, ("unknown option " + word).c_str());
        if (option->kind == OptionKind::Switch) {
            if (inlineValue) return UsageError(command, (word + " takes no value").c_str());
        } else if (!inlineValue) {
            if (i + 1 >= argc) return UsageError(command, (word + " needs a value").c_str());
            value = argv[++i];
        }
        if (out.values_.contains(word))
            return UsageError(command, (word + " is given twice").c_str());
        // An empty value names nothing; an empty --log would log nowhere without a word.
        if (option->kind != OptionKind::Switch && value.empty())
            return UsageError(command, (word + " needs a value").c_str());
        uint32_t seconds = 0;
        if (option->kind == OptionKind::Seconds && !ReadSeconds(value, seconds))
            return UsageError(command, (word + " needs whole seconds from 1 to " +
                                        std::to_string(kMostSeconds) + ", not '" + value + "'")
                                           .c_str());
        out.values_.emplace(word, value);
    }
    if (!fileGiven) return UsageError(command, "expected one FILE");
    return 0;
}
