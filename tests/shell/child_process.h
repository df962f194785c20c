// Runs a program to completion with given standard input, collecting its standard
// output and error; a program that outlives the time limit is killed.
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
                     int timeLimitMs);

}  // namespace ocuvant::testing
