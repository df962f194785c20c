// `ocuvant serve [--port N] [--simulator ...] [--gallery DIR]`: the control behind a
// loopback web server, driven from a page (or any script) in a browser on this machine.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/iris_options.h"
#include "hosts/ocuvant/json_line.h"
#include "hosts/ocuvant/simulated_devices.h"
#include "hosts/web/serve_session.h"

namespace ocuvant::host {
namespace {

constexpr const char* kUsage =
    "usage: ocuvant serve [--port N] [--simulator [SEED] | --simulator=subject=N |\n"
    "                      --simulator=replay=DIR] [--gallery DIR] [--pages DIR]\n"
    "                      [--no-origin-checks]\n"
    "Serves the control to a page on this machine: binds 127.0.0.1 only (port N, default\n"
    "any free port) and prints one line\n"
    "  LISTEN PORT TOKEN http://127.0.0.1:PORT/?t=TOKEN\n"
    "Open that URL in a browser; every request needs the token (the URL sets a cookie;\n"
    "scripts send \"Authorization: Bearer TOKEN\"). The simulator stands in for the\n"
    "cameras when none is attached (or always, with --simulator). --gallery DIR keeps\n"
    "enrolled people as enrollment files (as `ocuvant enroll` writes them; default\n"
    "./gallery). --pages DIR serves your own files as /pages/NAME (they can use the\n"
    "script client /ocuvant.js). --no-origin-checks drops the Origin and fetch-metadata checks "
    "(for\n"
    "diagnosis only; the token and Host checks stay).\n"
    "Stops on SIGINT or SIGTERM. Exit status: 0 stopped, 1 cannot serve, 2 usage.";

int RunServe(const std::vector<std::string>& args) {
  SimulatorOption simulator;
  web::ServeOptions options;
  std::string gallery = "gallery";
  std::string pages;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (ParseSimulatorFlag(args[i], &simulator, &error)) {
      if (args[i] == "--simulator" && i + 1 < args.size() &&
          ParseSeed(args[i + 1], &simulator.seed)) {
        ++i;
      }
    } else if (!error.empty()) {
      std::fprintf(stderr, "ocuvant serve: %s\n%s\n", error.c_str(), kUsage);
      return 2;
    } else if (args[i] == "--port" && i + 1 < args.size()) {
      int32_t port = -1;
      if (!ParseInt32(args[++i], &port) || port < 0 || port > 65535) {
        std::fprintf(stderr, "ocuvant serve: --port takes 0 to 65535\n");
        return 2;
      }
      options.port = port;
    } else if (args[i] == "--gallery" && i + 1 < args.size()) {
      gallery = args[++i];
    } else if (args[i] == "--pages" && i + 1 < args.size()) {
      pages = args[++i];
    } else if (args[i] == "--no-origin-checks") {
      options.originChecks = false;
    } else {
      std::fprintf(stderr, "%s\n", kUsage);
      return 2;
    }
  }
  // Signals are taken by sigwait below: blocked before any thread starts, so every
  // thread inherits the mask. A client gone mid-write must not end the process.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  // Installed before the control is created and removed after it is gone.
  std::unique_ptr<SimulatedDevices> sim;
  if (simulator.enabled || !CameraAttached(control::COcuvantCtrl::kDefaultIrisCameraId)) {
    sim = std::make_unique<SimulatedDevices>();
    std::string error;
    if (!sim->Install(simulator, &error)) {
      std::fprintf(stderr, "ocuvant serve: simulator: %s\n", error.c_str());
      return 1;
    }
  }
  int status = 0;
  std::chrono::steady_clock::time_point stopping;
  int signo = 0;
  {
    web::ServeConfig config;
    config.server = options;
    config.galleryDirectory = gallery;
    config.pagesDirectory = pages;
    if (sim && simulator.replayDirectory.empty()) {
      config.seed = simulator.seed;
      config.simulatedPerson = [&sim](uint64_t seed, std::string* error) {
        SimulatorOption person;
        person.enabled = true;
        person.seed = seed;
        return sim->Install(person, error);
      };
    }
    web::ServeSession session(config);
    std::string error;
    if (!session.Start(&error)) {
      std::fprintf(stderr, "ocuvant serve: %s\n", error.c_str());
      return 1;
    }
    std::printf("LISTEN %d %s %s\n", session.Server().Port(), session.Server().Token().c_str(),
                session.Server().Url().c_str());
    std::fflush(stdout);
    sigwait(&stopSignals, &signo);
    stopping = std::chrono::steady_clock::now();
  }
  sim.reset();
  std::fprintf(stderr, "ocuvant serve: stopped (%s) in %lld ms\n",
               signo == SIGINT ? "SIGINT" : "SIGTERM",
               static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - stopping)
                                          .count()));
  return status;
}

CommandRegistrar reg({"serve", "serve the control to a web page on this machine", kUsage,
                      &RunServe});

}  // namespace
}  // namespace ocuvant::host
