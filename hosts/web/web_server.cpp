#include "hosts/web/web_server.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>

#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/iris_host.h"
#include "hosts/ocuvant/json_line.h"
#include "hosts/web/access_token.h"
#include "hosts/web/mjpeg_stream.h"
#include "hosts/web/web_assets.h"

namespace ocuvant::web {
namespace {

using host::Cat;
using host::JsonString;

constexpr size_t kMaxBody = 4u << 20;     // a MatchIris database of a few thousand templates
constexpr uint32_t kStreamWakeMs = 200;   // streams see a stop within this
constexpr uint32_t kKeepAliveMs = 10000;  // SSE comment that also finds dead clients

void Answer(httplib::Response& res, int status, const std::string& json) {
  res.status = status;
  res.set_content(json, "application/json");
}

const char* ModeName(int32_t mode) {
  switch (mode) {
    case control::ModeEnrollBoth:
      return "enroll-both";
    case control::ModeEnrollLeft:
      return "enroll-left";
    case control::ModeEnrollRight:
      return "enroll-right";
    case control::ModeMatch:
      return "identify";
    default:
      return "idle";
  }
}

// The session's progress for the page, read on the host's thread.
std::string StatusJson(const control::COcuvantCtrl& c) {
  const int kind = c.m_withSmall ? 0 : c.m_withBig ? 1 : c.m_withQ5 ? 2 : 1;
  const int32_t mode = c.m_sessionMode.load();
  const bool armed = mode != control::ModeIdle;
  const bool enroll = mode != control::ModeMatch;
  const int32_t timeoutMs = (enroll ? c.GetEnrollIrisTimeout() : c.GetMatchIrisTimeout()) * 1000;
  const int32_t elapsed = static_cast<int32_t>(platform::TicksSince(c.m_sessionStartTick.load()));
  const int32_t leftMs = armed ? std::max<int32_t>(0, timeoutMs - elapsed) : 0;
  std::string out = Cat("{\"mode\":\"", ModeName(mode), "\",\"kind\":", std::to_string(kind),
                        ",\"step\":", std::to_string(c.m_enrollStep.load() + 1),
                        ",\"secondsLeft\":", std::to_string((leftMs + 999) / 1000),
                        ",\"irisOpen\":", c.m_irisOpen ? "true" : "false",
                        ",\"photoOpen\":", c.m_photoOpen ? "true" : "false",
                        ",\"faceOpen\":", c.m_faceOpen ? "true" : "false", ",\"eyes\":[");
  for (int eye = 0; eye < 2; ++eye) {
    const control::EyeProgress& p = c.m_workflow.progress[kind][eye];
    const int32_t rejection = p.lastRejection.load();
    out +=
        Cat(eye ? "," : "", "{\"eye\":\"", eye ? "right" : "left",
            "\",\"accepted\":", std::to_string(p.accepted.load()),
            ",\"batch\":", std::to_string(p.failedBatches.load() + 1),
            ",\"stepResult\":", std::to_string(p.stepResult.load()),
            ",\"lastRejection\":", std::to_string(rejection),
            ",\"rejection\":", JsonString(rejection ? host::RejectionWords(rejection) : ""), "}");
  }
  return out + "]}";
}

// The dispatch table, for clients that list what they can call.
std::string MembersJson() {
  std::string out = "[";
  bool first = true;
  for (const control::DispatchEntry& e : control::DispatchTable()) {
    const char* kind = e.kind == control::MemberKind::Method     ? "method"
                       : e.kind == control::MemberKind::Property ? "property"
                                                                 : "event";
    std::string types = "[";
    for (uint8_t i = 0; i < e.argCount && e.kind != control::MemberKind::Property; ++i) {
      types += Cat(i ? "," : "", "\"", control::TypeName(e.args[i]), "\"");
    }
    types += "]";
    out += Cat(first ? "" : ",", "{\"dispid\":", std::to_string(e.dispid),
               ",\"name\":", JsonString(e.name), ",\"kind\":\"", kind, "\",\"type\":\"",
               control::TypeName(e.type), "\",\"args\":", JsonString(e.argNames),
               ",\"argTypes\":", types, "}");
    first = false;
  }
  return out + "]";
}

uint64_t ParseId(const std::string& text) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != text.npos) {
    return 0;
  }
  return std::stoull(text);
}

}  // namespace

WebServer::WebServer(ControlThread& control, EventStream& events, FrameHub* frames,
                     ServeOptions options)
    : control_(control),
      events_(events),
      frames_(frames),
      options_(options),
      server_(std::make_unique<httplib::Server>()) {
  guard_.originChecks = options.originChecks;
}

WebServer::~WebServer() {
  Stop();
}

std::string WebServer::Url() const {
  return Cat("http://127.0.0.1:", std::to_string(guard_.port), "/?t=", guard_.token);
}

bool WebServer::Start(std::string* error) {
  guard_.token = NewAccessToken();
  if (guard_.token.empty()) {
    *error = "no random source for the access token";
    return false;
  }
  httplib::Server& s = *server_;
  // Every stream holds a worker for its life: room for a page's streams, a few
  // script clients and the calls.
  s.new_task_queue = [] { return new httplib::ThreadPool(16); };
  s.set_keep_alive_timeout(1);
  s.set_read_timeout(1, 0);
  s.set_write_timeout(1, 0);
  s.set_payload_max_length(kMaxBody);
  Routes();
  if (options_.port == 0) {
    guard_.port = s.bind_to_any_port("127.0.0.1");
    if (guard_.port <= 0) {
      *error = "cannot bind 127.0.0.1";
      return false;
    }
  } else {
    if (!s.bind_to_port("127.0.0.1", options_.port)) {
      *error = Cat("cannot bind 127.0.0.1:", std::to_string(options_.port));
      return false;
    }
    guard_.port = options_.port;
  }
  thread_ = std::thread([&s] { s.listen_after_bind(); });
  // A stop before the listen loop runs would be lost.
  while (!s.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void WebServer::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  events_.WakeAll();
  if (frames_) frames_->WakeAll();
  server_->stop();
  thread_.join();
}

uint64_t WebServer::TakeOver(const std::string& viewer) {
  std::lock_guard<std::mutex> lock(viewerMutex_);
  if (viewer != viewer_ || viewer.empty()) {
    viewer_ = viewer;
    ++generation_;
  }
  return generation_.load();
}

void WebServer::Routes() {
  httplib::Server& s = *server_;
  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    const GuardVerdict v = CheckRequest(req, guard_);
    if (v.setCookie) {
      res.status = 303;
      res.set_header("Location", "/");
      res.set_header("Set-Cookie", Cat(CookieName(guard_.port), "=", guard_.token,
                                       "; Path=/; HttpOnly; SameSite=Strict"));
      AddSecurityHeaders(res);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (v.status == 0) return httplib::Server::HandlerResponse::Unhandled;
    ++refusals_;
    Answer(res, v.status, ErrorJson(v.reason));
    AddSecurityHeaders(res);
    return httplib::Server::HandlerResponse::Handled;
  });
  s.set_post_routing_handler(
      [](const httplib::Request&, httplib::Response& res) { AddSecurityHeaders(res); });

  s.Get("/", [](const httplib::Request&, httplib::Response& res) {
    const EmbeddedFile* f = FindEmbeddedFile("index.html");
    if (f == nullptr) return Answer(res, 404, ErrorJson("no page"));
    res.set_content(reinterpret_cast<const char*>(f->data), f->size, ContentTypeOf(f->name));
  });
  s.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
  s.Get(R"(/([a-z0-9_-]+\.(js|css|html|svg)))",
        [](const httplib::Request& req, httplib::Response& res) {
          const EmbeddedFile* f = FindEmbeddedFile(req.matches[1].str());
          if (f == nullptr) return Answer(res, 404, ErrorJson("no such file"));
          res.set_content(reinterpret_cast<const char*>(f->data), f->size, ContentTypeOf(f->name));
        });

  s.Post("/api/invoke", [this](const httplib::Request& req, httplib::Response& res) {
    BridgeCall call;
    std::string error;
    if (!ParseBridgeCall(req.body, &call, &error)) return Answer(res, 400, ErrorJson(error));
    const control::InvokeResult r = control_.Invoke(std::move(call));
    Answer(res,
           r.ok()                                               ? 200
           : r.hr == static_cast<control::HRESULT>(0x8000FFFFu) ? 503
                                                                : 400,
           ResultJson(r));
  });
  s.Get("/api/members",
        [](const httplib::Request&, httplib::Response& res) { Answer(res, 200, MembersJson()); });
  s.Get("/api/status", [this](const httplib::Request&, httplib::Response& res) {
    std::string json;
    if (!control_.Run([&](control::COcuvantCtrl& c) { json = StatusJson(c); })) {
      return Answer(res, 503, ErrorJson("the server is stopping"));
    }
    Answer(res, 200, json);
  });

  s.Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
    uint64_t last = ParseId(req.get_header_value("Last-Event-ID"));
    if (last == 0 && req.has_param("last")) last = ParseId(req.get_param_value("last"));
    const uint64_t generation = TakeOver(req.get_param_value("viewer"));
    res.set_header("X-Accel-Buffering", "no");
    res.set_chunked_content_provider(
        "text/event-stream", [this, last, generation, started = false, idleMs = uint32_t{0}](
                                 size_t, httplib::DataSink& sink) mutable {
          if (!started) {
            started = true;
            const std::string hello = "retry: 1000\n: ocuvant events\n\n";
            if (!sink.write(hello.data(), hello.size())) return false;
          }
          while (!stopping_) {
            if (!IsCurrent(generation)) {
              const std::string bye = "event: replaced\ndata: {}\n\n";
              sink.write(bye.data(), bye.size());
              sink.done();
              return true;
            }
            if (events_.WaitAfter(last, kStreamWakeMs)) {
              const std::string text = events_.Since(last, &last);
              if (!text.empty()) return sink.write(text.data(), text.size());
            }
            idleMs += kStreamWakeMs;
            if (idleMs >= kKeepAliveMs) {
              idleMs = 0;
              static const std::string kAlive = ": keepalive\n\n";
              return sink.write(kAlive.data(), kAlive.size());
            }
          }
          return false;
        });
  });

  if (frames_ == nullptr) return;
  // The live picture as multipart JPEG (what an <img> shows as a moving picture).
  s.Get("/api/stream", [this](const httplib::Request& req, httplib::Response& res) {
    const uint64_t generation = TakeOver(req.get_param_value("viewer"));
    frames_->AddViewer();
    res.set_content_provider(
        "multipart/x-mixed-replace; boundary=ocuvantframe",
        [this, generation, seq = uint64_t{0}](size_t, httplib::DataSink& sink) mutable {
          while (!stopping_ && IsCurrent(generation)) {
            std::shared_ptr<const std::string> jpeg = frames_->Next(&seq, kStreamWakeMs);
            if (!jpeg) continue;
            const std::string head =
                Cat("--ocuvantframe\r\nContent-Type: image/jpeg\r\nContent-Length: ",
                    std::to_string(jpeg->size()), "\r\n\r\n");
            return sink.write(head.data(), head.size()) && sink.write(jpeg->data(), jpeg->size()) &&
                   sink.write("\r\n", 2);
          }
          return false;
        },
        [this](bool) { frames_->RemoveViewer(); });
  });
}

}  // namespace ocuvant::web
