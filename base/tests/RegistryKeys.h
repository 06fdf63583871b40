// Test equipment: keys made and values set behind the edge's back (the edge itself never
// creates a key), over the platform's registry or a MemoryRegistry natively.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/RegistryEdge.h"

class TestKeys {
public:
    virtual ~TestKeys() = default;
    virtual void Create(const std::string& path) = 0;
    virtual void Remove(const std::string& path) = 0;
    virtual void Set(const std::string& path, const std::string& name, uint32_t type,
                     const std::vector<uint8_t>& data) = 0;
    // The registry these keys live in, as the code under test sees it.
    virtual std::unique_ptr<RegistryEdge> Edge() = 0;
};

std::unique_ptr<TestKeys> MakeTestKeys();
