// stashkick.dll, the marker-clearing notifier: kvrnotify.dll without the loader. It never
// queues a file, so it does not import instaide.dll's queue call at all.
#include "notifiers/NotifierLibrary.h"
#include "notifiers/Notifiers.h"

const NotifierLibrary kThisNotifier = {&MarkerClearingNotify, nullptr};
