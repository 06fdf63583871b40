// Test equipment: the conduit's windows as a user sees them. Windows are found by caption
// among one thread's windows only, so that other programs on the display never match.
#pragma once

#include <cstdint>
#include <string>

namespace view {

using Window = void*;

// A shown top-level window of the thread with this caption, waited for up to `milliseconds`.
Window ThreadWindow(uint32_t threadId, const std::string& caption, int milliseconds = 0);
std::string Text(Window window);
// What the screen shows where the window is, kept as shots/NAME beside the test program.
bool SaveShot(Window window, const std::string& name);

}  // namespace view
