// Text that came from outside (a line of handheld.conf, a key, a database or file name) as
// palmsim and its tools print it. Such text may hold anything: an escape sequence that moves
// the cursor, clears the screen or retitles the reader's window, a line break that forges a
// line of the output, or a megabyte without one. Printed this way it stays one readable line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Far longer than any key, value or name the tools write; enough to recognise anything else.
constexpr size_t kMostPrintedBytes = 240;

// `text` with every control character (C0, DEL, C1) and every byte that is no part of valid
// UTF-8 shown as \xNN, cut after at most `most` bytes of that form with "..." added.
std::string Printable(std::string_view text, size_t most = kMostPrintedBytes);
