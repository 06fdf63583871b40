// What a HotSync notifier needs of the world around it: Palm Desktop's user-data and
// install-aide libraries, which HotSync Manager has loaded beside it (userdata.dll and
// instaide.dll, imported by ordinal), the notifier library's own file, and the files it
// deletes. The aides' results are not checked: what they leave in a buffer is all a notifier
// learns from them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class AidesEdge {
public:
    virtual ~AidesEdge() = default;

    // userdata.dll ordinal 103: the HotSync user that `data` (as HotSync Manager passed it to
    // the notifier) stands for, as the library leaves it in a buffer of `capacity`
    // characters: up to the first NUL, never more than `capacity` characters, empty when it
    // leaves nothing.
    virtual std::string UserName(uint32_t data, uint32_t capacity) = 0;
    // instaide.dll ordinal 300: the user's folder on the desktop, read likewise.
    virtual std::string UserDirectory(const std::string& user, uint32_t capacity) = 0;
    // instaide.dll ordinal 103: the file is installed on the user's handheld at the next
    // HotSync.
    virtual void QueueInstall(const std::string& user, const std::string& path) = 0;

    // The full file name of the module called `module` ("kvrnotify.dll") among those of the
    // calling process, read into `capacity` characters; nullopt when there is none.
    virtual std::optional<std::string> ModuleFileName(const std::string& module,
                                                      uint32_t capacity) = 0;
    // Whether a file (not a folder) exists at `path`.
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
};

// instaide.dll's queue call, bound by the notifier that queues files: a library that is
// handed none never imports it.
using QueueInstallCall = void (*)(const std::string& user, const std::string& path);

// The libraries HotSync Manager has loaded and the platform's files (Windows only: the
// notifiers exist nowhere else).
std::unique_ptr<AidesEdge> MakeAidesEdge(QueueInstallCall queueInstall);
