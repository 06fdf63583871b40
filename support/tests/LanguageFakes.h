// Test equipment for language selection: a program that poses under another file name, and a
// form that counts how often it was re-read.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/Forms.h"
#include "support/ProgramFileEdge.h"

class PosingProgram final : public ProgramFileEdge {
public:
    explicit PosingProgram(std::string name) : name_(std::move(name)) {}
    std::string FileName() override { return name_; }
    std::vector<std::string> Parameters() override { return {}; }

private:
    std::string name_;
};

class CountingForm : public TReloadableForm {
public:
    void ReadFromResources() override { ++reads; }
    int reads = 0;
};
