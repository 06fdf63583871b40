// Text helpers shared by the command-line readers and the file list. Case rules are those of
// the Windows file system and of the wizard's switches: ASCII letters only, so a switch or a
// file name compares the same whatever the user's locale.
#pragma once

#include <string>
#include <string_view>

// The text with a-z turned into A-Z; every other byte is kept.
std::string UpperCase(std::string_view text);

// <0, 0 or >0 as a sorts before, with or after b when case is ignored.
int CompareTextIgnoreCase(std::string_view a, std::string_view b);

// Whether name matches a file wildcard the way the Windows file search does: '*' stands for
// any run of characters, '?' for exactly one, letters match regardless of case, and "*.*"
// matches every name, with or without a dot.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// printf into a string, for texts made of a format and values (log lines).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
