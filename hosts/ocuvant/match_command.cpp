// `ocuvant match`: identifies the person in front of the iris camera (or the
// simulator) among the people of the given enrollment files.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/enrollment_file.h"
#include "hosts/ocuvant/iris_host.h"
#include "hosts/ocuvant/json_line.h"
#include "hosts/ocuvant/template_database.h"

namespace ocuvant::host {
namespace {

const std::string kUsage =
    std::string(
        "usage: ocuvant match --db FILE... [OPTIONS]\n"
        "Identifies the person in front of the iris camera among the enrolled people of the\n"
        "enrollment files (every enrolled eye and step of the kind is one template).\n"
        "  --db FILE...           enrollment files written by `ocuvant enroll`\n") +
    kIrisOptionsUsage +
    "Exit status: 0 identified, 1 nobody identified (time-out), 2 bad usage or a failure.";

int RunMatch(const std::vector<std::string>& args) {
  IrisOptions options;
  std::vector<std::string> files;
  bool inDb = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (ParseIrisOption(args, &i, &options, &error)) {
      inDb = false;
      continue;
    }
    if (error.empty() && args[i] == "--db") {
      inDb = true;
      continue;
    }
    if (error.empty() && inDb && args[i].rfind("--", 0) != 0) {
      files.push_back(args[i]);
      continue;
    }
    std::fprintf(stderr, "ocuvant match: %s\n%s\n",
                 error.empty() ? ("unknown option " + args[i]).c_str() : error.c_str(),
                 kUsage.c_str());
    return 2;
  }
  if (files.empty()) {
    std::fprintf(stderr, "ocuvant match: no --db file given\n%s\n", kUsage.c_str());
    return 2;
  }
  TemplateDatabase db;
  const std::string kindName = KindOptionName(options.kind);
  for (const std::string& f : files) {
    Enrollment e;
    std::string error;
    if (!ReadEnrollmentFile(f, &e, &error)) {
      std::fprintf(stderr, "ocuvant match: %s\n", error.c_str());
      return 2;
    }
    const int32_t before = db.count();
    AddToDatabase(e, kindName, &db);
    if (db.count() == before) {
      std::fprintf(stderr, "ocuvant match: %s holds no %s templates\n", f.c_str(),
                   kindName.c_str());
    }
  }

  IrisHost host(options, true);
  if (!host.SetupError().empty()) {
    std::fprintf(stderr, "ocuvant match: %s\n", host.SetupError().c_str());
    return 2;
  }
  if (!options.json) {
    std::printf("Identifying against %d templates (kind %s) on the %s. Look into the camera.\n",
                db.count(), kindName.c_str(), host.Simulated() ? "simulator" : "iris camera");
    std::fflush(stdout);
  }
  const MatchOutcome r = host.Match(db.words, db.count());
  const int32_t index = r.result > 0 ? r.index[options.kind] : -1;
  const bool identified = index >= 0 && index < db.count();
  if (options.json) {
    const std::string label = identified ? JsonString(db.entries[index].label) : "null";
    const std::string eye =
        identified ? JsonString(db.entries[index].eye == 0 ? "left" : "right") : "null";
    std::printf("{\"result\":%d,\"label\":%s,\"index\":%d,\"eye\":%s}\n", r.result, label.c_str(),
                index, eye.c_str());
  } else if (identified) {
    const DatabaseEntry& e = db.entries[index];
    std::printf("Identified: %s (index %d, %s eye, step %d template; result %d)\n",
                e.label.empty() ? "(no label)" : e.label.c_str(), index,
                e.eye == 0 ? "left" : "right", e.step, r.result);
  } else if (r.result == 0) {
    std::printf("Nobody identified (time-out)\n");
  } else {
    std::printf("Identification failed (result %d)\n", r.result);
  }
  if (identified) return 0;
  return r.result == 0 ? 1 : 2;
}

CommandRegistrar reg({"match", "identify a person among enrollment files", kUsage.c_str(),
                      &RunMatch});

}  // namespace
}  // namespace ocuvant::host
