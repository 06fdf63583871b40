#include "tests/e2e/driver/Script.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace wizard::script {

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string WithoutLineEnd(const std::string& line) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

Words SplitAtTabs(const std::string& line) {
    Words result;
    size_t at = line.find_first_not_of(" \t");
    while (at != std::string::npos && at < line.size()) {
        const size_t tab = line.find('\t', at);
        result.words.push_back(line.substr(at, tab == std::string::npos ? tab : tab - at));
        at = tab == std::string::npos ? tab : line.find_first_not_of('\t', tab);
    }
    return result;
}

Words SplitAtSpaces(const std::string& line) {
    Words result;
    size_t at = 0;
    while (true) {
        while (at < line.size() && line[at] == ' ') ++at;
        if (at == line.size()) return result;
        std::string word;
        while (at < line.size() && line[at] != ' ') {
            if (line[at] != '"') {
                word += line[at++];
                continue;
            }
            const size_t opened = at++;
            while (true) {
                if (at == line.size()) {
                    result.error = "the quote opened at column " + std::to_string(opened + 1) +
                                   " is not closed";
                    return result;
                }
                const char c = line[at++];
                if (c == '"') break;
                if (c != '\\' || at == line.size()) {
                    word += c;
                    continue;
                }
                const char next = line[at];
                if (next == '"' || next == '\\') {
                    word += next;
                    ++at;
                } else if (next == 'n') {
                    word += '\n';
                    ++at;
                } else if (next == 't') {
                    word += '\t';
                    ++at;
                } else if (next == 'x' && at + 2 < line.size() && IsHex(line[at + 1]) &&
                           IsHex(line[at + 2])) {
                    word += static_cast<char>(
                        std::strtoul(line.substr(at + 1, 2).c_str(), nullptr, 16));
                    at += 3;
                } else {
                    word += c;  // a backslash that escapes nothing stands for itself
                }
            }
        }
        result.words.push_back(word);
    }
}

}  // namespace

Words Split(const std::string& line) {
    const std::string text = WithoutLineEnd(line);
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') return {};  // blank, or a comment
    return text.find('\t') != std::string::npos ? SplitAtTabs(text) : SplitAtSpaces(text);
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

ControlRef ParseControl(const std::string& word) {
    std::string rest = word;
    std::string className;
    if (rest.size() > 2 && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close != std::string::npos && close > 1) {
            className = rest.substr(1, close - 1);
            rest = rest.substr(close + 1);
        }
    }
    if (!rest.empty() && rest[0] == '=') return ControlRef::Text(rest.substr(1), className);
    if (rest.size() > 1 && rest[0] == '#') {
        const std::string number = rest.substr(1);
        char* end = nullptr;
        const long id = std::strtol(number.c_str(), &end, 0);
        const bool digits = number[0] >= '0' && number[0] <= '9';
        if (digits && end && *end == '\0' && id >= 0 && id <= 0xFFFF)
            return ControlRef::Id(static_cast<int>(id), className);
    }
    return ControlRef::Text(rest, className);
}

std::optional<Milliseconds> ParseSeconds(const std::string& word) {
    if (word.empty() || !((word[0] >= '0' && word[0] <= '9') || word[0] == '.'))
        return std::nullopt;
    char* end = nullptr;
    const double seconds = std::strtod(word.c_str(), &end);
    // A day is more than any wait a script needs; beyond it the number is surely a mistake.
    if (!end || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 86400)
        return std::nullopt;
    return Milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

}  // namespace wizard::script
