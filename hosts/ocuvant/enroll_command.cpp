// `ocuvant enroll`: enrolls one person (both eyes or one) on the iris camera or the
// simulator and writes the enrollment file.
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

const std::string kUsage = std::string(
                               "usage: ocuvant enroll [--eyes both|left|right] [--out FILE] "
                               "[--label LABEL] [OPTIONS]\n"
                               "Enrolls the person in front of the iris camera in two steps (the "
                               "second with the\nilluminator on) and writes the templates to FILE "
                               "(default enrollment.json).\n"
                               "  --eyes both|left|right  eyes to enroll (default both)\n"
                               "  --out FILE             enrollment file to write\n"
                               "  --label LABEL          who is enrolled (stored in the file)\n") +
                           kIrisOptionsUsage +
                           "Exit status: 0 enrolled, 1 the enrollment failed, 2 bad usage.";

int RunEnroll(const std::vector<std::string>& args) {
  IrisOptions options;
  std::string eyes = "both", out = "enrollment.json", label;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (ParseIrisOption(args, &i, &options, &error)) continue;
    const std::string& a = args[i];
    if (error.empty() && (a == "--eyes" || a == "--out" || a == "--label") && i + 1 < args.size()) {
      const std::string& v = args[++i];
      (a == "--eyes" ? eyes : a == "--out" ? out : label) = v;
      continue;
    }
    std::fprintf(stderr, "ocuvant enroll: %s\n%s\n",
                 error.empty() ? ("unknown or incomplete option " + a).c_str() : error.c_str(),
                 kUsage.c_str());
    return 2;
  }
  control::SessionMode mode = control::ModeEnrollBoth;
  if (eyes == "left") {
    mode = control::ModeEnrollLeft;
  } else if (eyes == "right") {
    mode = control::ModeEnrollRight;
  } else if (eyes != "both") {
    std::fprintf(stderr, "ocuvant enroll: --eyes takes both, left or right\n");
    return 2;
  }

  IrisHost host(options, true);
  if (!host.SetupError().empty()) {
    std::fprintf(stderr, "ocuvant enroll: %s\n", host.SetupError().c_str());
    return 2;
  }
  if (!options.json) {
    std::printf("Enrolling %s (%s eye%s, kind %s) on the %s. Look into the camera.\n",
                label.empty() ? "a person" : label.c_str(), eyes.c_str(),
                mode == control::ModeEnrollBoth ? "s" : "", KindOptionName(options.kind),
                host.Simulated() ? "simulator" : "iris camera");
    std::fflush(stdout);
  }
  const EnrollOutcome r = host.Enroll(mode);
  if (r.result == 1) {
    std::string error;
    if (!WriteEnrollmentFile(out, EnrollmentOf(label, KindOptionName(options.kind), r.templates),
                             &error)) {
      std::fprintf(stderr, "ocuvant enroll: %s\n", error.c_str());
      return 1;
    }
  }
  if (options.json) {
    std::printf("{\"result\":%d,\"out\":%s}\n", r.result,
                r.result == 1 ? JsonString(out).c_str() : "null");
  } else if (r.result == 1) {
    std::printf("Enrolled: templates written to %s\n", out.c_str());
  } else {
    std::printf("Enrollment failed (result %d)\n", r.result);
  }
  return r.result == 1 ? 0 : 1;
}

CommandRegistrar reg({"enroll", "enroll a person's irises into an enrollment file", kUsage.c_str(),
                      &RunEnroll});

}  // namespace
}  // namespace ocuvant::host
