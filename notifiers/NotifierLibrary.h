// What makes a notifier library the one it is: what it does on each HS_Notify, and
// instaide.dll's queue call if it queues files. Each library defines its own; the entries
// every notifier has (NotifierEntries_win32.cpp, built into both) answer HotSync Manager with
// it. Windows only: the notifiers exist nowhere else.
#pragma once

#include <cstdint>

#include "base/RegistryEdge.h"
#include "notifiers/AidesEdge.h"

struct NotifierLibrary {
    int32_t (*notify)(int32_t code, uint32_t data, AidesEdge& aides, RegistryEdge& registry);
    // Null for a library that queues nothing: it then never imports the call.
    QueueInstallCall queueInstall;
};

extern const NotifierLibrary kThisNotifier;
