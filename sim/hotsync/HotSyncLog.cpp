#include "sim/hotsync/HotSyncLog.h"

#include <cstdio>
#include <ctime>
#include <system_error>

#include "base/SyncLayouts.h"

namespace hotsync_log {

Stamp LocalStamp() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local) return {};
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
            local->tm_hour,        local->tm_min,     local->tm_sec};
}

std::string FormatEntry(int32_t activity, bool timestamped, std::string_view text,
                        const Stamp& when) {
    std::string line;
    switch (activity) {
        case logactivity::kText: break;
        case logactivity::kWarning: line = "! "; break;
        case logactivity::kStart: line = "> "; break;
        case logactivity::kEndOk: line = "= "; break;
        case logactivity::kEndFail: line = "x "; break;
        default:
            // Appended piece by piece: GCC 12 at -O3 takes a chain of + on a fresh string for
            // an overlapping copy.
            line += '?';
            line += std::to_string(activity);
            line += ' ';
            break;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        line += ' ';
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (timestamped) {
        char stamp[96];
        std::snprintf(stamp, sizeof stamp, " [%04d-%02d-%02d %02d:%02d:%02d]", when.year,
                      when.month, when.day, when.hour, when.minute, when.second);
        line += stamp;
    }
    return line;
}

bool Append(const std::filesystem::path& userFolder, const std::vector<std::string>& lines) {
    std::error_code ignored;
    std::filesystem::create_directories(userFolder, ignored);
    std::FILE* log = std::fopen((userFolder / kFileName).string().c_str(), "a");
    if (!log) return false;
    bool written = true;
    for (const std::string& line : lines)
        written = std::fprintf(log, "%s\n", line.c_str()) >= 0 && written;
    return std::fclose(log) == 0 && written;
}

}  // namespace hotsync_log
