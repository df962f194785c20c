// Subcommands of the `ocuvant` host register themselves here, one file each.
#pragma once

#include <string>
#include <vector>

namespace ocuvant::host {

struct Command {
  const char* name;
  const char* summary;                               // one line for `ocuvant --help`
  const char* usage;                                 // full help for `ocuvant NAME --help`
  int (*run)(const std::vector<std::string>& args);  // args after the subcommand name
};

std::vector<Command>& Commands();

struct CommandRegistrar {
  explicit CommandRegistrar(const Command& c) { Commands().push_back(c); }
};

}  // namespace ocuvant::host
