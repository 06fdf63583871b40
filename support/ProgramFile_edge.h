// What the program-file unit needs of the platform.
#pragma once

#include <string>
#include <vector>

namespace programfile_edge {

// Capacity, terminator included, of the buffer the program's file name is read into.
constexpr int kFileNameCapacity = 261;

// Full file name of the running program; empty when it cannot be had or does not fit.
std::string RunningProgramFileName();

std::vector<std::string> CommandLineParameters();

}  // namespace programfile_edge
