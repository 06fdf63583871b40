// The words of wizdriver's scripts: a command line split into words, texts quoted for its
// one-line answers, and the ways a script names a control or a number of seconds. Portable;
// wizdriver.exe's --help describes the syntax to its users.
//
// A line holding a tab is split at tabs (runs of tabs count as one), every field taken as it
// stands. Otherwise words are separated by spaces, and a word, or part of one, in double
// quotes keeps its spaces; inside quotes \" \\ \n \t and \xHH (a byte, e.g. \xE8) are
// escapes and any other backslash stands for itself. Outside quotes backslashes are plain
// characters, so unquoted Windows paths need no doubling. Blank lines and lines that start
// with '#' (after blanks) hold no command.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/driver/WizardDriver.h"

namespace wizard::script {

struct Words {
    std::vector<std::string> words;  // none for a blank line or a comment
    std::string error;               // set when the line cannot be split (an open quote)
};

Words Split(const std::string& line);

// `text` in double quotes, escaped the way Split reads it back; bytes from 0x80 up are
// left as they are.
std::string Quote(const std::string& text);

// A control named in a script: "#1001" or "#0x3E9" is an id, "[Edit]#1001" or
// "[Button]&Next >" adds the window class, "=#1 choice" is the text "#1 choice"; any other
// word is the control's exact text.
ControlRef ParseControl(const std::string& word);

// A non-negative number of seconds ("10", "0.5"), or nullopt.
std::optional<Milliseconds> ParseSeconds(const std::string& word);

}  // namespace wizard::script
