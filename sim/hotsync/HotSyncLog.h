// HotSync.log, the HotSync log in the HotSync user's folder: the HotSync Manager stand-in's
// own lines and every entry a conduit adds through hslog20.dll, in the order they happen. A
// person reads it and the Wine scenario tests parse it, so an entry's form is fixed here, once:
//
//   activity -1, plain text               <text>
//   activity 22, a warning                ! <text>
//   activity 19, a conduit's start line   > <text>
//   activity 20, its end after success    = <text>
//   activity 21, its end after a failure  x <text>
//   any other activity N                  ?N <text>
//
// followed, for a time-stamped entry, by " [YYYY-MM-DD HH:MM:SS]" in local time. Each entry is
// one line: a line break inside the text (CR, LF or CR LF) is written as one blank.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace hotsync_log {

constexpr const char* kFileName = "HotSync.log";

struct Stamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Now, in local time.
Stamp LocalStamp();

// One entry's line, without its line end.
std::string FormatEntry(int32_t activity, bool timestamped, std::string_view text,
                        const Stamp& when);

// Appends the lines to HotSync.log in `userFolder`, made if need be; false when the file cannot
// be written whole.
bool Append(const std::filesystem::path& userFolder, const std::vector<std::string>& lines);

}  // namespace hotsync_log
