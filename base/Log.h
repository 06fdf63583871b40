// Diagnostic log of the engine: printf-style lines with a level from 0 (most important) to
// 9 (most detailed). Lines above the threshold are never formatted; the shipped threshold is
// -1, so the engine's narration costs one comparison per line.
#pragma once

#include <cstdio>

#if defined(__GNUC__)
#define KESTREL_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KESTREL_PRINTF(fmt, args)
#endif

void PrintMessage(int level, const char* format, ...) KESTREL_PRINTF(2, 3);

// Close the log file, if one is open (the main window does this when it is destroyed).
void CloseLog();

// For builds and tests that want the narration: the threshold and an optional file that
// receives every line at or below it.
int LogThreshold();
void SetLogThreshold(int threshold);
bool OpenLogFile(const char* path);
// Whether a line could not be written to the log file opened last (a full disk, a file
// system gone read-only): the narration there is incomplete.
bool LogWriteFailed();

// The last line formatted (empty before the first); lets tests see what was narrated.
const char* LastLogLine();
