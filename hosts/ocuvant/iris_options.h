// Options shared by the iris commands of the `ocuvant` host (enroll, match, demo):
// template kind, time-out, JSON output and the simulated person.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ocuvant::host {

struct IrisOptions {
  int kind = 1;             // TemplateKind: 0 small, 1 big (the configuration default), 2 q5
  int32_t timeoutSec = -1;  // step or match time-out; -1 keeps the control's default
  bool json = false;
  bool simulator = false;       // use the virtual devices even when a camera is attached
  uint64_t seed = 1;            // the simulated person
  std::string script;           // what the simulated person does (empty: present throughout)
  std::string replayDirectory;  // not empty: the iris camera replays this folder
};

// Reads the option at args[*i] (advancing *i past its value). Returns false with
// `error` set for a malformed shared option, and false with an empty error when the
// option is not one of the shared ones.
bool ParseIrisOption(const std::vector<std::string>& args, size_t* i, IrisOptions* options,
                     std::string* error);

// The option text of the shared options, for the usage lines.
extern const char* const kIrisOptionsUsage;

// The configuration JSON (property Burger) that enables exactly `kind`.
std::string ConfigurationFor(int kind);

// "small", "big", "q5"; -1 for another text.
int KindFromName(const std::string& name);
const char* KindOptionName(int kind);

}  // namespace ocuvant::host
