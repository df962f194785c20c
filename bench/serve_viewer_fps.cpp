// Frames per second of an armed session on the simulator behind `ocuvant serve`,
// with no viewer, one viewer, one slow viewer (one frame a second) and four viewers;
// the JPEG encoder's time per frame and the process's CPU per frame. Prints figures.
#include <httplib.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "hosts/ocuvant/simulated_devices.h"
#include "hosts/web/serve_session.h"

namespace {

using namespace ocuvant;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
  host::SimulatedDevices sim;
  host::SimulatorOption option;
  option.enabled = true;
  std::string error;
  if (!sim.Install(option, &error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  web::ServeConfig config;
  config.galleryDirectory = "/nonexistent";
  web::ServeSession session(config);
  if (!session.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const int port = session.Server().Port();
  const httplib::Headers auth = {{"Authorization", "Bearer " + session.Server().Token()}};
  httplib::Client c("127.0.0.1", port);
  auto call = [&](const std::string& body) {
    auto r = c.Post("/api/invoke", auth, body, "application/json");
    return r ? r->body : std::string("no answer");
  };
  std::printf("%-22s %10s %10s %12s %12s %14s\n", "viewers", "session", "encoded", "per viewer",
              "encode", "process CPU");
  std::printf("%-22s %10s %10s %12s %12s %14s\n", "", "fps", "fps", "fps", "ms/frame", "ms/frame");
  struct Run {
    const char* name;
    int viewers;
    int slowMs;  // pause after each frame a viewer reads
  };
  for (const Run& run :
       {Run{"none", 0, 0}, Run{"one", 1, 0}, Run{"one slow (1 fps)", 1, 1000}, Run{"four", 4, 0}}) {
    call(R"({"name":"MatchIrisTimeout","args":[60]})");
    call(R"({"name":"InitIris","args":[]})");
    const std::string db(2048, 'a');
    const std::string started =
        call(R"({"name":"MatchIris","args":[null,0,")" + db + R"(",2,null,0,0,0]})");
    if (started != "{\"result\":1}") {
      std::fprintf(stderr, "MatchIris: %s\n", started.c_str());
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // camera running
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> received{0};
    std::vector<std::thread> viewers;
    for (int v = 0; v < run.viewers; ++v) {
      viewers.emplace_back([&] {
        httplib::Client vc("127.0.0.1", port);
        vc.Get("/api/stream?viewer=bench", auth, [&](const char* d, size_t n) {
          if (std::string_view(d, n).find("--ocuvantframe") != std::string_view::npos) {
            ++received;
            if (run.slowMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(run.slowMs));
          }
          return !stop.load();
        });
      });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const web::FrameHub::Stats s0 = session.Frames().GetStats();
    const uint64_t r0 = received.load();
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double dt = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    const web::FrameHub::Stats s1 = session.Frames().GetStats();
    const uint64_t got = received.load() - r0;
    stop = true;
    for (std::thread& t : viewers) t.join();
    const double seen = double(s1.framesSeen - s0.framesSeen);
    const double encoded = double(s1.framesEncoded - s0.framesEncoded);
    std::printf("%-22s %10.1f %10.1f %12.1f %12.3f %14.2f\n", run.name, seen / dt, encoded / dt,
                run.viewers ? double(got) / dt / run.viewers : 0.0,
                encoded > 0 ? double(s1.encodeMicros - s0.encodeMicros) / encoded / 1000 : 0.0,
                seen > 0 ? cpu * 1000 / seen : 0.0);
    call(R"({"name":"CloseIris","args":[]})");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  }
  session.Stop();
  return 0;
}
