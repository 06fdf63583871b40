// The loader-staging notifier's registrations: HotSync Manager calls every library named by a
// "Notifier" value of its key, so kvrnotify.dll acts in exactly one HotSync only when these
// values go once that HotSync ends.
#pragma once

#include "base/RegistryEdge.h"

// Deletes every notifier value of HotSync Manager's key (the first vendor root where it opens)
// that names a file "kvrnotify.dll", in any folder and any case, whoever registered it. Values
// of any other kind stay untouched, whatever they hold.
void RemoveLoaderNotifiers(RegistryEdge& registry);
