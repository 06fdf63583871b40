// Which registrations RemoveLoaderNotifiers takes away: exactly the notifier values that name
// kvrnotify.dll, in whatever state the user's registry holds them, and however the registry
// reports its sizes or refuses.
#include "notifiers/RemoveLoaderNotifiers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/MemoryRegistry.h"

namespace {

const std::string kRoot1 = "Software\\U.S. Robotics\\Pilot Desktop\\HotSync Manager";
const std::string kRoot2 = "Software\\US Robotics\\Pilot Desktop\\HotSync Manager";
const std::string kRoot3 = "Software\\Palm Computing\\Pilot Desktop\\HotSync Manager";

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::vector<uint8_t> Text(const std::string& s) { return Bytes(s + std::string(1, '\0')); }

std::vector<std::string> Names(const MemoryRegistry& registry, const std::string& key) {
    std::vector<std::string> names;
    for (const RegistryValue& v : registry.Values(key)) names.push_back(v.name);
    return names;
}

TEST(RemoveLoaderNotifiers, TakesExactlyTheLoaderRegistrations) {
    struct Row {
        const char* catches;
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
        bool removed;
    };
    const Row rows[] = {
        {"the wizard's own", "Notifier0", regtype::Text, Text("C:\\Kit\\kvrnotify.dll"), true},
        {"another folder, in capitals", "Notifier7", regtype::Text,
         Text("D:\\OLD KIT\\KVRNOTIFY.DLL"), true},
        {"the name's case is ignored", "NOTIFIER12", regtype::Text, Text("C:\\a\\kvrnotify.dll"),
         true},
        {"exactly 13 characters", "Notifier2", regtype::Text, Text("kvrnotify.dll"), true},
        {"stored without its NUL", "Notifier3", regtype::Text, Bytes("C:\\k\\kvrnotify.dll"), true},
        {"the text ends at its NUL", "Notifier4", regtype::Text,
         Bytes(std::string("C:\\kvrnotify.dll\0junk", 21)), true},
        {"what follows a NUL is no text", "Notifier5", regtype::Text,
         Bytes(std::string("C:\\other.dll\0C:\\kvrnotify.dll", 29)), false},
        {"another notifier", "Notifier6", regtype::Text, Text("C:\\Kit\\stashkick.dll"), false},
        {"another library ending alike", "Notifier8", regtype::Text, Text("C:\\kvrnotify.dll.bak"),
         false},
        {"shorter than 13 characters", "Notifier9", regtype::Text, Text("vrnotify.dll"), false},
        {"empty text", "Notifier10", regtype::Text, Text(""), false},
        {"not text: expandable", "Notifier13", regtype::ExpandText, Text("C:\\kvrnotify.dll"),
         false},
        {"not text: binary", "Notifier14", regtype::Binary, Bytes("C:\\kvrnotify.dll"), false},
        {"not a notifier value", "BackupConduit", regtype::Text, Text("C:\\kvrnotify.dll"), false},
        {"a name shorter than Notifier", "Notif", regtype::Text, Text("C:\\kvrnotify.dll"), false},
        {"the default value", "", regtype::Text, Text("C:\\kvrnotify.dll"), false},
    };
    MemoryRegistry registry;
    for (const Row& r : rows) registry.SetValue(kRoot3, r.name, r.type, r.data);
    RemoveLoaderNotifiers(*registry.Edge());
    for (const Row& r : rows)
        EXPECT_EQ(!registry.Value(kRoot3, r.name).has_value(), r.removed) << r.catches;
}

TEST(RemoveLoaderNotifiers, WorksOnTheFirstVendorRootThatOpens) {
    struct Row {
        const char* catches;
        std::vector<std::string> keys;  // each holds Notifier0 naming kvrnotify.dll
        std::string denied;
        std::string cleared;  // empty: none
    };
    const Row rows[] = {
        {"the first root wins", {kRoot1, kRoot2, kRoot3}, "", kRoot1},
        {"the second when the first is missing", {kRoot2, kRoot3}, "", kRoot2},
        {"the third alone", {kRoot3}, "", kRoot3},
        {"a key that will not open is passed over", {kRoot1, kRoot3}, kRoot1, kRoot3},
        {"no key at all", {}, "", ""},
    };
    for (const Row& r : rows) {
        MemoryRegistry registry;
        for (const std::string& key : r.keys)
            registry.SetText(key, "Notifier0", "C:\\Kit\\kvrnotify.dll");
        if (!r.denied.empty()) registry.Deny(r.denied);
        RemoveLoaderNotifiers(*registry.Edge());
        for (const std::string& key : r.keys)
            EXPECT_EQ(!registry.Value(key, "Notifier0").has_value(), key == r.cleared)
                << r.catches << ": " << key;
    }
}

TEST(RemoveLoaderNotifiers, AThousandValues) {
    MemoryRegistry registry;
    for (int n = 0; n < 1000; ++n)
        registry.SetText(
            kRoot3, "Notifier" + std::to_string(n),
            n % 2 ? "C:\\Kit\\KVRNOTIFY.DLL" : "C:\\Kit" + std::to_string(n) + "\\kvrnotify.dll");
    registry.SetText(kRoot3, "Notifier1000", "C:\\Kit\\stashkick.dll");
    registry.SetText(kRoot3, "BackupConduit", "C:\\Kit\\stashmate.dll");
    RemoveLoaderNotifiers(*registry.Edge());
    EXPECT_EQ(Names(registry, kRoot3), (std::vector<std::string>{"Notifier1000", "BackupConduit"}));
}

// A registry that reports its sizes its own way and may refuse deletions, over one in memory.
class Quirks {
public:
    std::function<uint32_t(uint32_t)> longestName = [](uint32_t n) { return n; };
    std::function<uint32_t(uint32_t)> longestData = [](uint32_t n) { return n; };
    bool queryFails = false;
    std::set<std::string> refused;              // deletions that fail
    std::set<std::string> pretended;            // deletions that report success and keep the value
    uint32_t largestName = 0, largestData = 0;  // the largest buffers asked for
};

class QuirkyKey final : public RegistryKey {
public:
    QuirkyKey(std::unique_ptr<RegistryKey> inner, Quirks& quirks)
        : inner_(std::move(inner)), quirks_(quirks) {}
    RegistryRead ReadText(const std::string& name, std::string& text) override {
        return inner_->ReadText(name, text);
    }
    bool WriteText(const std::string& name, const std::string& text) override {
        return inner_->WriteText(name, text);
    }
    bool DeleteValue(const std::string& name) override {
        if (quirks_.refused.count(name)) return false;
        if (quirks_.pretended.count(name)) return true;
        return inner_->DeleteValue(name);
    }
    RegistryRead ReadValue(const std::string& name, RegistryValue& value) override {
        return inner_->ReadValue(name, value);
    }
    bool WriteValue(const RegistryValue& value) override { return inner_->WriteValue(value); }
    bool QueryInfo(Info& info) override {
        if (quirks_.queryFails || !inner_->QueryInfo(info)) return false;
        info.longestName = quirks_.longestName(info.longestName);
        info.longestData = quirks_.longestData(info.longestData);
        return true;
    }
    RegistryEnum EnumValue(uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                           RegistryValue& value) override {
        quirks_.largestName = std::max(quirks_.largestName, nameCapacity);
        quirks_.largestData = std::max(quirks_.largestData, dataCapacity);
        return inner_->EnumValue(index, nameCapacity, dataCapacity, value);
    }
    std::vector<std::string> SubkeyNames() override { return inner_->SubkeyNames(); }

private:
    std::unique_ptr<RegistryKey> inner_;
    Quirks& quirks_;
};

class QuirkyRegistry final : public RegistryEdge {
public:
    QuirkyRegistry(const MemoryRegistry& registry, Quirks& quirks)
        : inner_(registry.Edge()), quirks_(quirks) {}
    std::unique_ptr<RegistryKey> OpenCurrentUser(const std::string& path) override {
        auto key = inner_->OpenCurrentUser(path);
        return key ? std::make_unique<QuirkyKey>(std::move(key), quirks_) : nullptr;
    }

private:
    std::unique_ptr<RegistryEdge> inner_;
    Quirks& quirks_;
};

TEST(RemoveLoaderNotifiers, SizesAsTheRegistryReportsThem) {
    struct Row {
        const char* catches;
        std::function<uint32_t(uint32_t)> longestName, longestData;
    };
    const Row rows[] = {
        {"exact", [](uint32_t n) { return n; }, [](uint32_t n) { return n; }},
        {"in wider units", [](uint32_t n) { return 2 * n + 2; }, [](uint32_t n) { return 2 * n; }},
        {"data larger than reported", [](uint32_t n) { return n; }, [](uint32_t) { return 3u; }},
        {"nothing reported", [](uint32_t) { return 0u; }, [](uint32_t) { return 0u; }},
        {"absurd sizes", [](uint32_t) { return 0x7FFFFFF0u; },
         [](uint32_t) { return 0xFFFFFFF0u; }},
        {"the largest sizes there are", [](uint32_t) { return 0xFFFFFFFFu; },
         [](uint32_t) { return 0xFFFFFFFFu; }},
    };
    for (const Row& r : rows) {
        MemoryRegistry registry;
        registry.SetText(kRoot3, "Other", "C:\\Program Files\\Palm\\some other notifier.dll");
        registry.SetText(kRoot3, "Notifier0", "C:\\Kit\\kvrnotify.dll");
        registry.SetText(kRoot3, "Notifier1", "C:\\Kit\\stashkick.dll");
        registry.SetText(kRoot3, "Notifier2",
                         "C:\\A folder deeper than the others\\lib\\kvrnotify.dll");
        Quirks quirks;
        quirks.longestName = r.longestName;
        quirks.longestData = r.longestData;
        QuirkyRegistry edge(registry, quirks);
        RemoveLoaderNotifiers(edge);
        EXPECT_EQ(Names(registry, kRoot3), (std::vector<std::string>{"Other", "Notifier1"}))
            << r.catches;
        EXPECT_LE(quirks.largestData, 1u << 20) << r.catches << ": no buffer beyond a MiB";
        EXPECT_LE(quirks.largestName, 16384u) << r.catches;
    }
}

TEST(RemoveLoaderNotifiers, ValuesThatWillNotGoEndThePassesAllTheSame) {
    struct Row {
        const char* catches;
        std::set<std::string> refused, pretended;
        bool queryFails;
        std::vector<std::string> left;
    };
    const Row rows[] = {
        {"a refused deletion", {"Notifier0"}, {}, false, {"Notifier0", "Notifier1"}},
        {"a deletion that claims success", {}, {"Notifier2"}, false, {"Notifier1", "Notifier2"}},
        {"every deletion refused",
         {"Notifier0", "Notifier2", "notifier3"},
         {},
         false,
         {"Notifier0", "Notifier1", "Notifier2", "notifier3"}},
        {"no sizes at all", {}, {}, true, {"Notifier0", "Notifier1", "Notifier2", "notifier3"}},
    };
    for (const Row& r : rows) {
        MemoryRegistry registry;
        registry.SetText(kRoot3, "Notifier0", "C:\\Kit\\kvrnotify.dll");
        registry.SetText(kRoot3, "Notifier1", "C:\\Kit\\stashkick.dll");
        registry.SetText(kRoot3, "Notifier2", "E:\\kvrnotify.dll");
        registry.SetText(kRoot3, "notifier3", "F:\\KvrNotify.Dll");
        Quirks quirks;
        quirks.refused = r.refused;
        quirks.pretended = r.pretended;
        quirks.queryFails = r.queryFails;
        QuirkyRegistry edge(registry, quirks);
        RemoveLoaderNotifiers(edge);
        EXPECT_EQ(Names(registry, kRoot3), r.left) << r.catches;
    }
}

}  // namespace
