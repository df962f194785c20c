// ocuvant: command-line host of the control.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hosts/ocuvant/command.h"

namespace ocuvant::host {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

namespace {

void PrintHelp() {
  std::printf("usage: ocuvant COMMAND [ARGS...]\n\ncommands:\n");
  auto cmds = Commands();
  std::sort(cmds.begin(), cmds.end(),
            [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
  for (const Command& c : cmds) std::printf("  %-12s %s\n", c.name, c.summary);
  std::printf("\n`ocuvant COMMAND --help` shows a command's options.\n");
}

}  // namespace
}  // namespace ocuvant::host

int main(int argc, char** argv) {
  using namespace ocuvant::host;
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
      !std::strcmp(argv[1], "help")) {
    PrintHelp();
    return argc < 2 ? 2 : 0;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : Commands()) {
    if (std::strcmp(c.name, argv[1]) != 0) continue;
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
      std::printf("%s\n", c.usage);
      return 0;
    }
    return c.run(args);
  }
  std::fprintf(stderr, "ocuvant: unknown command '%s' (see ocuvant --help)\n", argv[1]);
  return 2;
}
