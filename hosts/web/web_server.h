// The loopback HTTP server of `ocuvant serve`: the page and its script client, the
// dispatch bridge (POST /api/invoke), the control's events (GET /api/events, SSE),
// the session's progress (GET /api/status), the live picture (GET /api/stream) and
// the gallery. Binds 127.0.0.1 only; every request passes the request guard.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "hosts/web/control_thread.h"
#include "hosts/web/event_stream.h"
#include "hosts/web/request_guard.h"

namespace httplib {
class Server;
}

namespace ocuvant::web {

class FrameHub;

struct ServeOptions {
  int port = 0;  // 0: any free port
  bool originChecks = true;
};

class WebServer {
 public:
  // `frames` may be null (no live picture).
  WebServer(ControlThread& control, EventStream& events, FrameHub* frames, ServeOptions options);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1 and serves on a thread of its own; returns once it takes requests.
  bool Start(std::string* error);
  // Ends the open streams and stops serving; returns when the server thread ended.
  void Stop();

  int Port() const { return guard_.port; }
  const std::string& Token() const { return guard_.token; }
  std::string Url() const;  // the token URL
  uint64_t Refusals() const { return refusals_.load(); }
  // For more routes, added before Start.
  httplib::Server& Http() { return *server_; }

 private:
  void Routes();
  // A new viewer page takes the streams over from the one before (one viewer at a time).
  uint64_t TakeOver(const std::string& viewer);
  bool IsCurrent(uint64_t generation) const { return generation == generation_.load(); }

  ControlThread& control_;
  EventStream& events_;
  FrameHub* frames_;
  ServeOptions options_;
  GuardConfig guard_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> refusals_{0};
  std::mutex viewerMutex_;
  std::string viewer_;
  std::atomic<uint64_t> generation_{0};
};

}  // namespace ocuvant::web
