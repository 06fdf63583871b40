// A string module for the tests, with texts longer than the buffers they pass through: on
// Windows a resource-only DLL beside the test program, natively an in-memory table.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>

#include "base/ResourceModuleEdge.h"

namespace teststrings {

// 300 'L's: longer than ErrorText's buffer.
constexpr int kLongId = 1000;
constexpr std::size_t kLongLength = 300;
// 5000 'H's: longer than the string manager's buffer.
constexpr int kHugeId = 1001;
constexpr std::size_t kHugeLength = 5000;
// "Error : %d " and 300 'F's.
constexpr int kFormatId = 2000;
constexpr std::size_t kFormatTail = 300;

// Loads the module (nullptr when it cannot be found); it is not yet in force.
void* Load();
void Release(void* module);

// A test with the module in force as the source of every text.
class InForce : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = Load();
        ASSERT_NE(module_, nullptr) << "test string module not found beside the test program";
        modules_->Set(module_);
    }
    void TearDown() override {
        modules_->Set(nullptr);
        Release(module_);
    }

private:
    const std::unique_ptr<ResourceModuleEdge> modules_ = MakeResourceModuleEdge();
    void* module_ = nullptr;
};

}  // namespace teststrings
