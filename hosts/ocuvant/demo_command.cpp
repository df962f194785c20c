// `ocuvant demo`: enrollment and identification end to end on the simulator: one
// person enrolled with both eyes, a few others, the first identified among them, and
// an impostor who is not enrolled and times out.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/iris_host.h"
#include "hosts/ocuvant/json_line.h"
#include "hosts/ocuvant/template_database.h"
#include "platform/thread.h"

namespace ocuvant::host {
namespace {

const char* const kUsage =
    "usage: ocuvant demo [--kind small|big|q5] [--others N] [--impostor-timeout S]\n"
    "                    [--simulator [SEED] | --simulator=subject=N |\n"
    "                     --simulator=replay=DIR]\n"
    "Runs on the simulator: enrolls a simulated person (both eyes, both steps), enrolls\n"
    "N other people (default 3), identifies the first person among them, then shows an\n"
    "impostor who is not enrolled and times out after S seconds (default 3).\n"
    "SEED or N picks the first person (default 1001); with replay=DIR the first person\n"
    "is the one recorded in DIR (enrolled and identified from the replayed frames).\n"
    "Exit status: 0 when every stage ended as expected.";

constexpr uint64_t kFirstPersonSeed = 1001;
constexpr uint64_t kImpostorSeed = 9001;

struct Stage {
  std::string what;
  std::string outcome;
  uint32_t ms = 0;
  bool asExpected = false;
};

int RunDemo(const std::vector<std::string>& args) {
  IrisOptions options;
  options.simulator = true;
  options.seed = kFirstPersonSeed;
  int32_t others = 3, impostorTimeout = 3;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    int32_t* target = a == "--others"             ? &others
                      : a == "--impostor-timeout" ? &impostorTimeout
                                                  : nullptr;
    std::string v, error;
    if (a.rfind("--simulator", 0) == 0) {
      const size_t at = i;
      if (ParseIrisOption(args, &i, &options, &error) && options.script.empty()) continue;
      if (error.empty() && at + 1 < args.size()) {
        error = "--simulator takes a whole number here, not " + args[at + 1];
      }
      std::fprintf(stderr, "ocuvant demo: %s\n%s\n", error.c_str(), kUsage);
      return 2;
    }
    if (a == "--kind" && i + 1 < args.size()) {
      options.kind = KindFromName(args[++i]);
      if (options.kind >= 0) continue;
    } else if (target != nullptr && i + 1 < args.size() && ParseInt32(args[++i], target) &&
               *target >= 0 && *target <= 50) {
      if (target == &others || *target >= 1) continue;
    }
    std::fprintf(stderr, "ocuvant demo: bad option %s\n%s\n", a.c_str(), kUsage);
    return 2;
  }

  const uint64_t firstSeed = options.seed;
  const std::string replay = options.replayDirectory;
  IrisHost host(options, true);
  if (!host.SetupError().empty()) {
    std::fprintf(stderr, "ocuvant demo: %s\n", host.SetupError().c_str());
    return 2;
  }
  const std::string kindName = KindOptionName(options.kind);
  TemplateDatabase db;
  std::vector<Stage> stages;
  std::string error;

  // The simulated person `seed`, or the replayed one for seed 0.
  auto place = [&](uint64_t seed) {
    return seed == 0 ? host.SetSimulatedReplay(replay, &error)
                     : host.SetSimulatedPerson(seed, "", &error);
  };
  auto describe = [&](uint64_t seed) {
    return seed == 0 ? "replayed from " + replay : "simulated person " + std::to_string(seed);
  };
  const uint64_t first = replay.empty() ? firstSeed : 0;

  auto enroll = [&](uint64_t seed, const std::string& label) {
    std::printf("\n== Enrolling %s (%s, both eyes, two steps)\n", label.c_str(),
                describe(seed).c_str());
    std::fflush(stdout);
    Stage s{"enroll " + label, "", 0, false};
    if (!place(seed)) {
      s.outcome = error;
      stages.push_back(s);
      return;
    }
    const uint32_t start = platform::GetTickCount();
    const EnrollOutcome r = host.Enroll(control::ModeEnrollBoth);
    s.ms = platform::TicksSince(start);
    const int32_t before = db.count();
    if (r.result == 1) AddToDatabase(EnrollmentOf(label, kindName, r.templates), kindName, &db);
    s.asExpected = r.result == 1 && db.count() == before + 4;
    s.outcome = r.result == 1 ? "enrolled, 4 templates (2 eyes x 2 steps)"
                              : "failed (result " + std::to_string(r.result) + ")";
    stages.push_back(s);
  };

  enroll(first, "person-1");
  for (int32_t n = 0; n < others; ++n) {
    enroll(firstSeed + 1 + static_cast<uint64_t>(n), "person-" + std::to_string(n + 2));
  }

  auto identify = [&](uint64_t seed, const std::string& who, const std::string& expected) {
    std::printf("\n== Identifying %s among %d templates\n", who.c_str(), db.count());
    std::fflush(stdout);
    Stage s{"identify " + who, "", 0, false};
    if (!place(seed)) {
      s.outcome = error;
      stages.push_back(s);
      return;
    }
    const uint32_t start = platform::GetTickCount();
    const MatchOutcome r = host.Match(db.words, db.count());
    s.ms = platform::TicksSince(start);
    const int32_t index = r.result > 0 ? r.index[options.kind] : -1;
    if (index >= 0 && index < db.count()) {
      const DatabaseEntry& e = db.entries[index];
      s.outcome = "identified as " + e.label + " (index " + std::to_string(index) + ", " +
                  (e.eye == 0 ? "left" : "right") + " eye, result " + std::to_string(r.result) +
                  ")";
      s.asExpected = e.label == expected;
    } else if (r.result == 0) {
      s.outcome = "nobody identified (time-out)";
      s.asExpected = expected.empty();
    } else {
      s.outcome = "failed (result " + std::to_string(r.result) + ")";
    }
    stages.push_back(s);
  };

  identify(first, "person-1", "person-1");
  host.SetMatchTimeout(impostorTimeout);
  identify(kImpostorSeed, "an impostor (not enrolled)", "");

  std::printf("\n== Summary (kind %s, simulator)\n", kindName.c_str());
  bool allOk = true;
  uint32_t total = 0;
  for (const Stage& s : stages) {
    std::printf("  %-36s %7.1f s  %s%s\n", s.what.c_str(), s.ms / 1000.0, s.outcome.c_str(),
                s.asExpected ? "" : "  <-- unexpected");
    allOk = allOk && s.asExpected;
    total += s.ms;
  }
  std::printf("  %-36s %7.1f s  %s\n", "total", total / 1000.0,
              allOk ? "every stage as expected" : "SOME STAGES FAILED");
  return allOk ? 0 : 1;
}

CommandRegistrar reg({"demo", "enroll and identify simulated people end to end", kUsage, &RunDemo});

}  // namespace
}  // namespace ocuvant::host
