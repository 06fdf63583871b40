// kvrnotify.dll, the loader-staging notifier that HotSync Manager calls at the beginning and
// the end of a HotSync.
#include <windows.h>

#include <string>

#include "notifiers/NotifierLibrary.h"
#include "notifiers/Notifiers.h"

// instaide.dll 103, imported by ordinal only; stdcall like the library's other entries.
extern "C" __declspec(dllimport) LONG WINAPI QueueInstallFor(const char* user, const char* path);

namespace {

void QueueWithInstallAide(const std::string& user, const std::string& path) {
    QueueInstallFor(user.c_str(), path.c_str());
}

}  // namespace

const NotifierLibrary kThisNotifier = {&LoaderStagingNotify, &QueueWithInstallAide};
