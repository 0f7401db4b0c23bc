#pragma once
// Runs a program to completion and captures what it printed, for tests of
// the borvane command line.

#include <string>
#include <utility>
#include <vector>

namespace borvane::testing {

struct ProcessResult {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// Runs `args` (args[0] is the program path) with extra environment entries
// ("NAME=value"), standard input closed; kills it after `timeout_seconds`.
ProcessResult RunProcess(const std::vector<std::string>& args,
                         const std::vector<std::string>& extra_env = {}, int timeout_seconds = 60);

}  // namespace borvane::testing
