#include "notifiers/RemoveLoaderNotifiers.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/PalmDesktopKeys.h"
#include "base/Text.h"
#include "notifiers/Notifiers.h"

namespace {

constexpr std::string_view kNamePrefix = "Notifier";

// The largest buffers a value is read into: the platform's own limit on a value name, and far
// more than any path. A value larger than that is no registration of ours and is left alone;
// the limits also keep a key that reports absurd sizes from making us ask for gigabytes.
constexpr uint32_t kMaxNameCapacity = 16384;
constexpr uint32_t kMaxDataCapacity = 1u << 20;

bool IsLoaderNotifier(const RegistryValue& value) {
    if (value.name.size() < kNamePrefix.size() ||
        CompareTextIgnoreCase(std::string_view(value.name).substr(0, kNamePrefix.size()),
                              kNamePrefix) != 0)
        return false;
    if (value.type != regtype::Text) return false;
    // The text ends at its first NUL, or with the data when it was stored without one.
    const auto end = std::find(value.data.begin(), value.data.end(), uint8_t{0});
    const std::string text(value.data.begin(), end);
    const std::string_view file = notifiers::kLoaderNotifierFile;
    return text.size() >= file.size() &&
           CompareTextIgnoreCase(std::string_view(text).substr(text.size() - file.size()), file) ==
               0;
}

uint32_t CapacityFor(uint32_t longest, uint32_t limit) {
    return longest < limit ? longest + 1 : limit;
}

// Value `index`. One larger than the key reported when asked (another program wrote it since,
// or the platform counts in other units than the value needs) is read again into larger
// buffers, up to the limits.
RegistryEnum ReadValue(RegistryKey& key, uint32_t index, uint32_t nameCapacity,
                       uint32_t dataCapacity, RegistryValue& value) {
    for (;;) {
        const RegistryEnum result = key.EnumValue(index, nameCapacity, dataCapacity, value);
        if (result != RegistryEnum::TooLarge) return result;
        if (nameCapacity >= kMaxNameCapacity && dataCapacity >= kMaxDataCapacity) return result;
        nameCapacity = std::min(std::max(nameCapacity, 1u) * 2, kMaxNameCapacity);
        dataCapacity = std::min(std::max(dataCapacity, 1u) * 2, kMaxDataCapacity);
    }
}

// The name of the first value from index 0 that is a registration of kvrnotify.dll and not
// one tried already.
std::optional<std::string> FirstMatch(RegistryKey& key, const RegistryKey::Info& info,
                                      const std::vector<std::string>& tried) {
    const uint32_t nameCapacity = CapacityFor(info.longestName, kMaxNameCapacity);
    const uint32_t dataCapacity = CapacityFor(info.longestData, kMaxDataCapacity);
    for (uint32_t index = 0;; ++index) {
        RegistryValue value;
        const RegistryEnum result = ReadValue(key, index, nameCapacity, dataCapacity, value);
        if (result == RegistryEnum::End) return std::nullopt;
        if (result != RegistryEnum::Ok || !IsLoaderNotifier(value)) continue;
        const bool seen = std::any_of(tried.begin(), tried.end(), [&](const std::string& name) {
            return CompareTextIgnoreCase(name, value.name) == 0;
        });
        if (!seen) return value.name;
    }
}

}  // namespace

void RemoveLoaderNotifiers(RegistryEdge& registry) {
    const std::unique_ptr<RegistryKey> key =
        palmdesktop::OpenFirstKey(registry, palmdesktop::kHotSyncManager);
    if (!key) return;

    // A deletion renumbers the values after it, so every pass starts again from index 0. Each
    // value is tried once: one that will not go (or comes back) is passed over from then on,
    // or the passes would never end.
    std::vector<std::string> tried;
    for (;;) {
        RegistryKey::Info info;
        if (!key->QueryInfo(info)) return;
        const std::optional<std::string> name = FirstMatch(*key, info, tried);
        if (!name) return;
        tried.push_back(*name);
        key->DeleteValue(*name);
    }
}
