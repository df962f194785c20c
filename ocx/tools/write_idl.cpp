// Prints the type library's IDL from the dispatch table: write_idl [FILE]. With FILE,
// compares instead and exits 1 (showing both) when FILE differs.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "ocx/idl_text.h"

int main(int argc, char** argv) {
  const std::string idl = ocuvant::ocx::IdlFromDispatchTable();
  if (argc < 2) {
    std::fwrite(idl.data(), 1, idl.size(), stdout);
    return 0;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string committed = text.str();
  std::string normalised;
  for (char c : committed) {
    if (c != '\r') normalised += c;
  }
  if (normalised == idl) {
    std::printf("%s agrees with the dispatch table\n", argv[1]);
    return 0;
  }
  std::printf("%s differs from the dispatch table; expected:\n%s", argv[1], idl.c_str());
  return 1;
}
