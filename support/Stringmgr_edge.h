// What the string manager needs of the platform: the string table of the resource module
// in force, the application's message box, and the last error code.
#pragma once

namespace stringmgr_edge {

// Copies string `id` into buffer (at most size - 1 characters, terminated) and returns its
// length; 0 when the string is missing or empty.
int FetchString(int id, char* buffer, int size);

int ShowMessageBox(const char* text, const char* caption, unsigned style);

unsigned long LastError();

}  // namespace stringmgr_edge
