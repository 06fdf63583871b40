// What the two HotSync notifiers do when HotSync Manager calls HS_Notify: `code` 1 when a
// HotSync begins, 2 or 3 when it ends (others are ignored); `data` stands for the HotSync user
// and goes unchanged to userdata.dll. Both return 1 whatever happened, as HotSync Manager
// expects of a notifier; neither keeps anything between calls.
#pragma once

#include <cstdint>

#include "base/RegistryEdge.h"
#include "notifiers/AidesEdge.h"

namespace notifiers {

// GetNotifierVersion of both libraries.
constexpr int32_t kVersion = 1;

// The library file whose registrations both notifiers remove, and under which kvrnotify looks
// itself up.
constexpr const char* kLoaderNotifierFile = "kvrnotify.dll";

}  // namespace notifiers

// kvrnotify.dll: at the beginning of a HotSync, queues the serial loader shipped beside the
// library ("sys\Bootlet.prc") for installation on the handheld and clears the backup
// conduit's marker "sm.run" in the user's folder; at the end, removes its own registrations
// and the loader copies the backup saved, so that no later restore puts the loader back.
int32_t LoaderStagingNotify(int32_t code, uint32_t data, AidesEdge& aides, RegistryEdge& registry);

// stashkick.dll: clears the marker at the beginning of a HotSync and removes kvrnotify.dll's
// registrations at its end; it queues nothing and deletes no backup file.
int32_t MarkerClearingNotify(int32_t code, uint32_t data, AidesEdge& aides, RegistryEdge& registry);
