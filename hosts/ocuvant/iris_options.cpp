#include "hosts/ocuvant/iris_options.h"

#include <cstdlib>

#include "hosts/ocuvant/json_line.h"
#include "hosts/ocuvant/simulated_devices.h"

namespace ocuvant::host {

const char* const kIrisOptionsUsage =
    "  --kind small|big|q5    template kind to enable (default big)\n"
    "  --timeout SECONDS      time allowed for each enrollment step, or for the match\n"
    "  --json                 print the outcome as one JSON line\n"
    "  --simulator [SEED|SCRIPT]  use the simulated camera (the default when no iris\n"
    "                         camera is attached); a number picks the simulated person,\n"
    "                         other text is what the person does, e.g.\n"
    "                         \"gone:1000,present\" (may be given twice)\n"
    "  --simulator=subject=N  the simulated camera showing person N\n"
    "  --simulator=replay=DIR the simulated camera replaying the frames of DIR (written\n"
    "                         by `ocuvant record` or the control's realtime captures)\n";

namespace {
const char* const kOptionNames[] = {"small", "big", "q5"};
}

int KindFromName(const std::string& name) {
  for (int k = 0; k < 3; ++k) {
    if (name == kOptionNames[k]) return k;
  }
  return -1;
}

const char* KindOptionName(int kind) {
  return kind >= 0 && kind < 3 ? kOptionNames[kind] : "?";
}

bool ParseIrisOption(const std::vector<std::string>& args, size_t* i, IrisOptions* options,
                     std::string* error) {
  const std::string& a = args[*i];
  auto value = [&](std::string* out) {
    if (*i + 1 >= args.size()) {
      *error = a + " needs a value";
      return false;
    }
    *out = args[++*i];
    return true;
  };
  std::string v;
  if (a == "--json") {
    options->json = true;
    return true;
  }
  if (a == "--kind") {
    if (!value(&v)) return false;
    options->kind = KindFromName(v);
    if (options->kind < 0) *error = "--kind takes small, big or q5";
    return options->kind >= 0;
  }
  if (a == "--timeout") {
    if (!value(&v)) return false;
    if (!ParseInt32(v, &options->timeoutSec) || options->timeoutSec < 1 ||
        options->timeoutSec > 3600) {
      *error = "--timeout takes whole seconds from 1 to 3600";
      return false;
    }
    return true;
  }
  if (a.rfind("--simulator", 0) == 0) {
    SimulatorOption flag;
    if (!ParseSimulatorFlag(a, &flag, error)) {
      if (error->empty()) *error = "unknown option " + a;
      return false;
    }
    options->simulator = true;
    if (a != "--simulator") {  // =subject=N or =replay=DIR
      if (flag.replayDirectory.empty()) options->seed = flag.seed;
      options->replayDirectory = flag.replayDirectory;
      return true;
    }
    // A bare flag may be followed by the person's number or what the person does.
    if (*i + 1 < args.size() && !args[*i + 1].empty() && args[*i + 1][0] != '-') {
      v = args[++*i];
      if (!ParseSeed(v, &options->seed)) options->script = v;
    }
    return true;
  }
  error->clear();
  return false;
}

std::string ConfigurationFor(int kind) {
  auto flag = [&](int k) { return kind == k ? "\"1\"" : "\"0\""; };
  return Cat("{\"log\":\"0\",\"save_raw\":\"0\",\"save_cacheraw\":\"0\",\"with_small_iris\":",
             flag(0), ",\"with_q5_iris\":", flag(2), ",\"with_big_iris\":", flag(1),
             ",\"iris_hid_ctl\":\"1\",\"iris_with_bkcapture\":\"0\","
             "\"iris_bkcapture_camera\":\"1\",\"capture_realtime_iris\":\"0\"}");
}

}  // namespace ocuvant::host
