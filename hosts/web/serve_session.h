// Everything `ocuvant serve` runs, wired together: the event stream, the live
// picture, the control on its thread, the gallery and the web server with the
// gallery's routes (POST /api/gallery/enroll, POST /api/gallery/identify,
// GET /api/gallery) and the portrait photo (POST /api/photo, GET /api/photo).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hosts/ocuvant/template_database.h"
#include "hosts/web/control_thread.h"
#include "hosts/web/event_stream.h"
#include "hosts/web/gallery.h"
#include "hosts/web/mjpeg_stream.h"
#include "hosts/web/web_server.h"

namespace ocuvant::web {

struct ServeConfig {
  ServeOptions server;
  std::string galleryDirectory = "gallery";
  std::string photoDirectory;  // where portrait photos go; empty: a folder under /tmp
  int kind = 1;                // template kind of the page's enrollments (big)
  std::string pagesDirectory;  // not empty: an integrator's own files, served as /pages/...
  // On the simulator: puts simulated person `seed` in front of the iris camera
  // (POST /api/simulator {"seed": N}, between sessions); null without the simulator.
  std::function<bool(uint64_t seed, std::string* error)> simulatedPerson;
  uint64_t seed = 1;
};

class ServeSession {
 public:
  explicit ServeSession(ServeConfig config);
  ~ServeSession();  // Stop, then the control goes, then the live picture
  ServeSession(const ServeSession&) = delete;
  ServeSession& operator=(const ServeSession&) = delete;

  bool Start(std::string* error);
  void Stop();

  WebServer& Server() { return *server_; }
  ControlThread& Control() { return *control_; }
  EventStream& Events() { return events_; }
  FrameHub& Frames() { return *frames_; }
  Gallery& People() { return gallery_; }

 private:
  // Host's thread (enrollment and match events), any thread (photo events).
  void Observe(int32_t dispid, const char* name, const std::vector<control::Value>& args);
  void Routes();
  void PublishHostEvent(const char* name, const std::string& argsJson);

  ServeConfig config_;
  EventStream events_;
  std::unique_ptr<FrameHub> frames_;
  Gallery gallery_;
  // Host's thread only: the enrollment or identification the page started.
  std::string enrollLabel_;
  bool enrolling_ = false;
  std::vector<host::DatabaseEntry> identifyEntries_;
  bool identifying_ = false;
  std::atomic<uint64_t> seed_{1};  // the simulated person shown
  std::mutex photoMutex_;
  std::string photoPath_;  // the last photo the control announced
  std::unique_ptr<ControlThread> control_;
  std::unique_ptr<WebServer> server_;
};

}  // namespace ocuvant::web
