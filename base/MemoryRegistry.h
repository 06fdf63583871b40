// A registry held in memory: what the registry is natively, where the platform has none, and
// what tests hand the code under test so that they can set up any key and look at every
// value afterwards. Key paths and value names compare as the platform's do, ignoring the
// case of ASCII letters; values keep the order they were made in.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/RegistryEdge.h"

class MemoryRegistry {
public:
    MemoryRegistry();

    // A view of this registry for the code under test; several may be handed out.
    std::unique_ptr<RegistryEdge> Edge() const;

    // Makes the key and every key above it.
    void CreateKey(const std::string& path);
    void DeleteKey(const std::string& path);
    // Sets a value, making its key.
    void SetValue(const std::string& path, const std::string& name, uint32_t type,
                  std::vector<uint8_t> data);
    void SetText(const std::string& path, const std::string& name, const std::string& text);
    // The key exists but will not open with full access.
    void Deny(const std::string& path);

    bool HasKey(const std::string& path) const;
    std::optional<RegistryValue> Value(const std::string& path, const std::string& name) const;
    // Every value of the key, in order; empty for a missing key.
    std::vector<RegistryValue> Values(const std::string& path) const;
    // The key and everything below it as lines ("path", "path\name = type:hex"), for tests
    // that compare a whole key before and after.
    std::string Dump(const std::string& path) const;

    struct State;

private:
    std::shared_ptr<State> state_;
};
