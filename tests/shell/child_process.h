// Runs a program to completion with given standard input, collecting its standard
// output and error; a program that outlives the time limit is killed. It runs in
// `workingDirectory` when one is given.
#pragma once

#include <string>
#include <vector>

namespace ocuvant::testing {

struct ChildResult {
  bool started = false;
  bool timedOut = false;
  int exitCode = -1;  // when it exited normally
  int signal = 0;     // when a signal ended it
  std::string out, err;
};

ChildResult RunChild(const std::vector<std::string>& argv, const std::string& input,
                     int timeLimitMs, const std::string& workingDirectory = "");

}  // namespace ocuvant::testing
