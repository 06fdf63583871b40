#include "base/MemoryRegistry.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/Text.h"

struct MemoryRegistry::State {
    struct Key {
        std::string path;
        bool denied = false;
        std::vector<RegistryValue> values;
    };
    std::vector<Key> keys;

    static bool Same(const std::string& a, const std::string& b) {
        return CompareTextIgnoreCase(a, b) == 0;
    }
    Key* Find(const std::string& path) {
        for (Key& key : keys)
            if (Same(key.path, path)) return &key;
        return nullptr;
    }
    Key& Make(const std::string& path) {
        // Every key above it exists too, as in the platform's registry.
        for (size_t cut = path.find('\\'); cut != std::string::npos; cut = path.find('\\', cut + 1))
            if (!Find(path.substr(0, cut))) keys.push_back({path.substr(0, cut), false, {}});
        if (Key* key = Find(path)) return *key;
        keys.push_back({path, false, {}});
        return keys.back();
    }
    static RegistryValue* FindValue(Key& key, const std::string& name) {
        for (RegistryValue& v : key.values)
            if (Same(v.name, name)) return &v;
        return nullptr;
    }
};

namespace {

class MemoryKey final : public RegistryKey {
public:
    MemoryKey(std::shared_ptr<MemoryRegistry::State> state, std::string path)
        : state_(std::move(state)), path_(std::move(path)) {}

    RegistryRead ReadText(const std::string& name, std::string& text) override {
        text.clear();
        MemoryRegistry::State::Key* key = state_->Find(path_);
        if (!key) return RegistryRead::Failed;
        const RegistryValue* value = MemoryRegistry::State::FindValue(*key, name);
        if (!value) return RegistryRead::Missing;
        if (value->type != regtype::Text) return RegistryRead::NotText;
        const auto end = std::find(value->data.begin(), value->data.end(), uint8_t{0});
        text.assign(value->data.begin(), end);
        return RegistryRead::Ok;
    }

    bool WriteText(const std::string& name, const std::string& text) override {
        MemoryRegistry::State::Key* key = state_->Find(path_);
        if (!key) return false;
        std::vector<uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        if (RegistryValue* value = MemoryRegistry::State::FindValue(*key, name)) {
            value->type = regtype::Text;
            value->data = std::move(data);
        } else {
            key->values.push_back({name, regtype::Text, std::move(data)});
        }
        return true;
    }

    bool DeleteValue(const std::string& name) override {
        MemoryRegistry::State::Key* key = state_->Find(path_);
        if (!key) return false;
        auto& values = key->values;
        const auto it = std::find_if(values.begin(), values.end(), [&](const RegistryValue& v) {
            return MemoryRegistry::State::Same(v.name, name);
        });
        if (it == values.end()) return false;
        values.erase(it);
        return true;
    }

    RegistryRead ReadValue(const std::string& name, RegistryValue& value) override {
        MemoryRegistry::State::Key* key = state_->Find(path_);
        if (!key) return RegistryRead::Failed;
        const RegistryValue* found = MemoryRegistry::State::FindValue(*key, name);
        if (!found) return RegistryRead::Missing;
        value = *found;
        return RegistryRead::Ok;
    }

    bool WriteValue(const RegistryValue& value) override {
        MemoryRegistry::State::Key* key = state_->Find(path_);
        if (!key) return false;
        if (RegistryValue* found = MemoryRegistry::State::FindValue(*key, value.name)) {
            found->type = value.type;
            found->data = value.data;
        } else {
            key->values.push_back(value);
        }
        return true;
    }

    bool QueryInfo(Info& info) override {
        MemoryRegistry::State::Key* key = state_->Find(path_);
        if (!key) return false;
        info = Info{};
        info.values = static_cast<uint32_t>(key->values.size());
        for (const RegistryValue& v : key->values) {
            info.longestName = std::max(info.longestName, static_cast<uint32_t>(v.name.size()));
            info.longestData = std::max(info.longestData, static_cast<uint32_t>(v.data.size()));
        }
        return true;
    }

    RegistryEnum EnumValue(uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                           RegistryValue& value) override {
        MemoryRegistry::State::Key* key = state_->Find(path_);
        if (!key || index >= key->values.size()) return RegistryEnum::End;
        const RegistryValue& found = key->values[index];
        if (found.name.size() + 1 > nameCapacity || found.data.size() > dataCapacity)
            return RegistryEnum::TooLarge;
        value = found;
        return RegistryEnum::Ok;
    }

    std::vector<std::string> SubkeyNames() override {
        std::vector<std::string> names;
        const std::string prefix = path_ + "\\";
        for (const MemoryRegistry::State::Key& key : state_->keys) {
            if (key.path.size() <= prefix.size() ||
                CompareTextIgnoreCase(key.path.substr(0, prefix.size()), prefix) != 0)
                continue;
            const std::string rest = key.path.substr(prefix.size());
            if (rest.find('\\') == std::string::npos) names.push_back(rest);
        }
        // The platform lists subkeys in the order of their names.
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return CompareTextIgnoreCase(a, b) < 0;
        });
        return names;
    }

private:
    std::shared_ptr<MemoryRegistry::State> state_;
    std::string path_;
};

class MemoryEdge final : public RegistryEdge {
public:
    explicit MemoryEdge(std::shared_ptr<MemoryRegistry::State> state) : state_(std::move(state)) {}

    std::unique_ptr<RegistryKey> OpenCurrentUser(const std::string& path) override {
        const MemoryRegistry::State::Key* key = state_->Find(path);
        if (!key || key->denied) return nullptr;
        return std::make_unique<MemoryKey>(state_, key->path);
    }

private:
    std::shared_ptr<MemoryRegistry::State> state_;
};

}  // namespace

MemoryRegistry::MemoryRegistry() : state_(std::make_shared<State>()) {}

std::unique_ptr<RegistryEdge> MemoryRegistry::Edge() const {
    return std::make_unique<MemoryEdge>(state_);
}

void MemoryRegistry::CreateKey(const std::string& path) { state_->Make(path); }

void MemoryRegistry::DeleteKey(const std::string& path) {
    auto& keys = state_->keys;
    keys.erase(
        std::remove_if(keys.begin(), keys.end(),
                       [&](const State::Key& key) {
                           return State::Same(key.path, path) ||
                                  (key.path.size() > path.size() &&
                                   State::Same(key.path.substr(0, path.size() + 1), path + "\\"));
                       }),
        keys.end());
}

void MemoryRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                              std::vector<uint8_t> data) {
    State::Key& key = state_->Make(path);
    if (RegistryValue* value = State::FindValue(key, name)) {
        value->type = type;
        value->data = std::move(data);
    } else {
        key.values.push_back({name, type, std::move(data)});
    }
}

void MemoryRegistry::SetText(const std::string& path, const std::string& name,
                             const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(path, name, regtype::Text, std::move(data));
}

void MemoryRegistry::Deny(const std::string& path) { state_->Make(path).denied = true; }

bool MemoryRegistry::HasKey(const std::string& path) const { return state_->Find(path) != nullptr; }

std::optional<RegistryValue> MemoryRegistry::Value(const std::string& path,
                                                   const std::string& name) const {
    State::Key* key = state_->Find(path);
    if (!key) return std::nullopt;
    if (const RegistryValue* value = State::FindValue(*key, name)) return *value;
    return std::nullopt;
}

std::vector<RegistryValue> MemoryRegistry::Values(const std::string& path) const {
    State::Key* key = state_->Find(path);
    return key ? key->values : std::vector<RegistryValue>{};
}

std::string MemoryRegistry::Dump(const std::string& path) const {
    std::vector<const State::Key*> below;
    for (const State::Key& key : state_->keys)
        if (State::Same(key.path, path) ||
            (key.path.size() > path.size() &&
             State::Same(key.path.substr(0, path.size() + 1), path + "\\")))
            below.push_back(&key);
    std::sort(below.begin(), below.end(), [](const State::Key* a, const State::Key* b) {
        return CompareTextIgnoreCase(a->path, b->path) < 0;
    });
    std::string out;
    for (const State::Key* key : below) {
        out += key->path + "\n";
        for (const RegistryValue& v : key->values) {
            out += key->path + "\\" + v.name + " = " + std::to_string(v.type) + ":";
            char hex[3];
            for (uint8_t b : v.data) {
                std::snprintf(hex, sizeof hex, "%02x", b);
                out += hex;
            }
            out += "\n";
        }
    }
    return out;
}
