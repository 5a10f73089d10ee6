// The processor time a program takes, for the benchmarks that time veldra-file against
// itself and against other programs as whole processes.
#pragma once

#include <string>
#include <vector>

namespace veldra {

// The user and system time, in seconds, of command (found on PATH unless a path) run to
// its end with its output and messages thrown away; negative when it cannot run or fails.
double processorSecondsOf(std::vector<std::string> command);

}  // namespace veldra
