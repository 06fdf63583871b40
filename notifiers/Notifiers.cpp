#include "notifiers/Notifiers.h"

#include <optional>
#include <string>

#include "notifiers/RemoveLoaderNotifiers.h"

namespace {

// The capacities HotSync's libraries are handed. The user's folder is asked for with room to
// spare for the longest name put after it.
constexpr uint32_t kUserNameCapacity = 255;
constexpr uint32_t kModuleNameCapacity = 250;
constexpr uint32_t kDirectoryCapacity = 250;        // before "\sm.run"
constexpr uint32_t kBackupDirectoryCapacity = 230;  // before "\BACKUP\temp007\Bootlet.prc"

constexpr const char* kMarker = "\\sm.run";
constexpr const char* kBackupLoader = "\\BACKUP\\Bootlet.prc";
constexpr const char* kTempBackupLoader = "\\BACKUP\\temp007\\Bootlet.prc";
constexpr const char* kShippedLoader = "\\sys\\Bootlet.prc";

// Whether a text read into a buffer of `capacity` characters is known to be whole: one that
// reaches the buffer's last character may have been cut there.
bool Whole(const std::string& text, uint32_t capacity) { return text.size() + 1 < capacity; }

// Deletes `name` in the user's folder, if it is there. Nothing is deleted when the library
// gave no folder (the name would then stand at the root of the current drive) or one that may
// have been cut (it would then stand in some other folder).
void DeleteInUserDirectory(AidesEdge& aides, const std::string& user, uint32_t capacity,
                           const char* name) {
    const std::string directory = aides.UserDirectory(user, capacity);
    if (directory.empty() || !Whole(directory, capacity)) return;
    const std::string path = directory + name;
    if (aides.FileExists(path)) aides.RemoveFile(path);
}

void StageLoader(uint32_t data, AidesEdge& aides) {
    // Only the library known as kvrnotify.dll stages the loader, from its own folder.
    const std::optional<std::string> own =
        aides.ModuleFileName(notifiers::kLoaderNotifierFile, kModuleNameCapacity);
    if (!own) return;
    const std::string user = aides.UserName(data, kUserNameCapacity);
    const size_t slash = own->rfind('\\');
    // A file name cut short would put the loader in some other folder: none is queued then.
    if (Whole(*own, kModuleNameCapacity) && slash != std::string::npos)
        aides.QueueInstall(user, own->substr(0, slash) + kShippedLoader);
    DeleteInUserDirectory(aides, user, kDirectoryCapacity, kMarker);
}

void ClearMarker(uint32_t data, AidesEdge& aides) {
    const std::string user = aides.UserName(data, kUserNameCapacity);
    DeleteInUserDirectory(aides, user, kDirectoryCapacity, kMarker);
}

void ForgetLoader(uint32_t data, AidesEdge& aides, RegistryEdge& registry) {
    RemoveLoaderNotifiers(registry);
    const std::string user = aides.UserName(data, kUserNameCapacity);
    DeleteInUserDirectory(aides, user, kBackupDirectoryCapacity, kBackupLoader);
    DeleteInUserDirectory(aides, user, kBackupDirectoryCapacity, kTempBackupLoader);
}

bool Begins(int32_t code) { return code == 1; }
bool Ends(int32_t code) { return code == 2 || code == 3; }

}  // namespace

int32_t LoaderStagingNotify(int32_t code, uint32_t data, AidesEdge& aides, RegistryEdge& registry) {
    if (Begins(code)) StageLoader(data, aides);
    if (Ends(code)) ForgetLoader(data, aides, registry);
    return 1;
}

int32_t MarkerClearingNotify(int32_t code, uint32_t data, AidesEdge& aides,
                             RegistryEdge& registry) {
    if (Begins(code)) ClearMarker(data, aides);
    if (Ends(code)) RemoveLoaderNotifiers(registry);
    return 1;
}
