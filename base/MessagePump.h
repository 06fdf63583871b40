// How the program's one thread hands its windows their messages, wherever it runs or waits:
// each message to its window, the keys of the dialog in sight (Tab, Enter, Esc) to that
// dialog first. A dialog is the platform's window handle, or nullptr for none. Windows only.
#pragma once

#include <functional>

// Hands out every message waiting, then returns; waiting code calls it so that the windows
// stay alive. A WM_QUIT ends it and is put back for the loop that ends the program.
void ProcessWaitingMessages(void* dialog = nullptr);

// The program's main loop: hands out messages, waiting for each, until WM_QUIT. `dialog` is
// asked for the dialog in sight at every message, since pages come and go.
void RunMessageLoop(const std::function<void*()>& dialog);
