#include "hosts/web/serve_session.h"

#include <httplib.h>
#include <json/json.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/iris_options.h"
#include "hosts/ocuvant/json_line.h"

namespace ocuvant::web {
namespace {

using control::COcuvantCtrl;
using control::Value;
using host::Cat;
using host::JsonString;

void Answer(httplib::Response& res, int status, const std::string& json) {
  res.status = status;
  res.set_content(json, "application/json");
}

bool ParseObject(const std::string& body, Json::Value* root) {
  Json::CharReaderBuilder b;
  b["failIfExtra"] = true;
  std::unique_ptr<Json::CharReader> r(b.newCharReader());
  std::string errors;
  try {
    return r->parse(body.data(), body.data() + body.size(), root, &errors) && root->isObject();
  } catch (const std::exception&) {
    return false;
  }
}

const int32_t* PointerArg(const std::vector<Value>& args, size_t i) {
  const auto* p = i < args.size() ? std::get_if<const int32_t*>(&args[i]) : nullptr;
  return p ? *p : nullptr;
}

int32_t IntArg(const std::vector<Value>& args, size_t i) {
  const auto* p = i < args.size() ? std::get_if<int32_t>(&args[i]) : nullptr;
  return p ? *p : 0;
}

}  // namespace

ServeSession::ServeSession(ServeConfig config)
    : config_(std::move(config)),
      frames_(std::make_unique<FrameHub>()),
      gallery_(config_.galleryDirectory) {
  seed_ = config_.seed;
  if (config_.photoDirectory.empty()) {
    std::error_code ec;
    config_.photoDirectory =
        (std::filesystem::temp_directory_path(ec) / Cat("ocuvant-serve-", std::to_string(getpid())))
            .string();
  }
  const int kind = config_.kind;
  control_ = std::make_unique<ControlThread>(
      events_,
      [kind](COcuvantCtrl& c) {
        // The page shows the control's log lines: logging on.
        std::string config = host::ConfigurationFor(kind);
        const size_t log = config.find("\"log\":\"0\"");
        if (log != std::string::npos) config.replace(log, 9, "\"log\":\"1\"");
        c.SetBurger(config);
      },
      [this](int32_t dispid, const char* name, const std::vector<Value>& args) {
        Observe(dispid, name, args);
      },
      [this, kind](COcuvantCtrl& c) {
        const control::EyeProgress* p = c.m_workflow.progress[kind];
        auto state = [](const control::EyeProgress& e) {
          return e.stepResult.load() == 1 ? 1 : e.lastRejection.load() < 0 ? -1 : 0;
        };
        const bool armed = c.m_sessionMode.load() != control::ModeIdle;
        frames_->SetOverlay(armed ? kind : -1, state(p[0]), state(p[1]));
      });
  server_ = std::make_unique<WebServer>(*control_, events_, frames_.get(), config_.server);
  Routes();
}

ServeSession::~ServeSession() {
  Stop();
  control_.reset();
  frames_.reset();
  std::error_code ec;
  std::filesystem::remove_all(config_.photoDirectory, ec);
}

bool ServeSession::Start(std::string* error) {
  return server_->Start(error);
}

void ServeSession::Stop() {
  server_->Stop();
  control_->Stop();
}

void ServeSession::PublishHostEvent(const char* name, const std::string& argsJson) {
  events_.Publish(Cat("{\"dispid\":0,\"name\":\"", name, "\",\"args\":", argsJson, "}"));
}

void ServeSession::Observe(int32_t, const char* name, const std::vector<Value>& args) {
  const std::string event = name;
  if (event == "PhotoCaptureEvent") {
    std::lock_guard<std::mutex> lock(photoMutex_);
    if (const auto* s = args.size() > 1 ? std::get_if<std::string>(&args[1]) : nullptr) {
      photoPath_ = *s;
    }
    return;
  }
  const int kind = config_.kind;
  // Only the names are looked at before the flags: LogInfo comes on any thread, the
  // enrollment and match events on the host's thread, which owns the flags.
  if (event.starts_with("Enroll") && !event.ends_with("StrEvent") && enrolling_) {
    enrolling_ = false;
    std::array<std::array<uint8_t, 1024>, 2> areas{};
    const int32_t* eye[2] = {nullptr, nullptr};
    int32_t result = 0;
    if (event == "EnrollBothIrisEvent") {
      eye[0] = PointerArg(args, size_t(2 * kind));
      eye[1] = PointerArg(args, size_t(2 * kind + 1));
      result = IntArg(args, 6);
    } else {
      eye[event == "EnrollRightIrisEvent" ? 1 : 0] = PointerArg(args, size_t(kind));
      result = IntArg(args, 3);
    }
    if (result != 1) {
      PublishHostEvent("GalleryNotSaved", Cat("{\"label\":", JsonString(enrollLabel_),
                                              ",\"EnrollResult\":", std::to_string(result), "}"));
      return;
    }
    for (int e = 0; e < 2; ++e) {
      if (eye[e] != nullptr) std::memcpy(areas[e].data(), eye[e], 1024);
    }
    std::string file, error;
    if (!gallery_.Save(host::EnrollmentOf(enrollLabel_, host::KindOptionName(kind), areas), &file,
                       &error)) {
      PublishHostEvent("GalleryNotSaved", Cat("{\"label\":", JsonString(enrollLabel_),
                                              ",\"error\":", JsonString(error), "}"));
      return;
    }
    PublishHostEvent("GallerySaved", Cat("{\"label\":", JsonString(enrollLabel_),
                                         ",\"file\":", JsonString(file), "}"));
    return;
  }
  if (event == "MatchIrisEvent" && identifying_) {
    identifying_ = false;
    const int32_t index = IntArg(args, size_t(kind));
    const int32_t result = IntArg(args, 3);
    std::string who = "null", eye = "null";
    if (index >= 0 && static_cast<size_t>(index) < identifyEntries_.size()) {
      who = JsonString(identifyEntries_[index].label);
      eye = identifyEntries_[index].eye == 0 ? "\"left\"" : "\"right\"";
    }
    PublishHostEvent("GalleryIdentified",
                     Cat("{\"label\":", who, ",\"eye\":", eye, ",\"index\":", std::to_string(index),
                         ",\"MatchResult\":", std::to_string(result), "}"));
  }
}

void ServeSession::Routes() {
  httplib::Server& s = server_->Http();
  // Same origin as the control: such pages use /ocuvant.js and carry the cookie.
  if (!config_.pagesDirectory.empty()) s.set_mount_point("/pages", config_.pagesDirectory);
  s.Get("/api/gallery", [this](const httplib::Request&, httplib::Response& res) {
    Answer(res, 200, gallery_.ListJson());
  });
  // {"label": NAME, "eyes": "both"|"left"|"right"}: InitIris and the enrollment; the
  // person is saved when the enrollment event reports success (GallerySaved).
  s.Post("/api/gallery/enroll", [this](const httplib::Request& req, httplib::Response& res) {
    Json::Value body;
    if (!ParseObject(req.body, &body) || !body["label"].isString() ||
        body["label"].asString().empty() || (!body["eyes"].isNull() && !body["eyes"].isString())) {
      return Answer(res, 400, ErrorJson("expected {\"label\": NAME, \"eyes\": \"both\"}"));
    }
    const std::string eyes = body["eyes"].isNull() ? "both" : body["eyes"].asString();
    if (eyes != "both" && eyes != "left" && eyes != "right") {
      return Answer(res, 400, ErrorJson("eyes: both, left or right"));
    }
    int32_t result = 0;
    std::string step;
    const bool ran = control_->Run([&](COcuvantCtrl& c) {
      // The string events carry only the first step's templates: not enough for a file.
      step = "StringMode";
      result = c.GetStringMode() == 0 ? 1 : -1;
      if (result != 1) return;
      step = "InitIris";
      result = c.InitIris();
      if (result != 1) return;
      step = eyes == "both"   ? "EnrollBothIris"
             : eyes == "left" ? "EnrollLeftIris"
                              : "EnrollRightIris";
      result = eyes == "both"   ? c.EnrollBothIris()
               : eyes == "left" ? c.EnrollLeftIris()
                                : c.EnrollRightIris();
      if (result != 1) return;
      enrollLabel_ = body["label"].asString();
      enrolling_ = true;
    });
    if (!ran) return Answer(res, 503, ErrorJson("the server is stopping"));
    if (result != 1) {
      return Answer(res, 409,
                    Cat("{\"error\":", JsonString(Cat(step, " answered ", std::to_string(result))),
                        ",\"result\":", std::to_string(result), "}"));
    }
    Answer(res, 200, "{\"result\":1}");
  });
  // InitIris and MatchIris against every template of the gallery (GalleryIdentified).
  s.Post("/api/gallery/identify", [this](const httplib::Request&, httplib::Response& res) {
    const int kind = config_.kind;
    host::TemplateDatabase db = gallery_.Database(host::KindOptionName(kind));
    if (db.count() == 0) return Answer(res, 409, ErrorJson("nobody is in the gallery"));
    BridgeCall call;
    call.entry = control::FindMember("MatchIris");
    auto words = std::make_shared<const std::vector<int32_t>>(std::move(db.words));
    call.args.assign(8, Value(int32_t{0}));
    for (int k = 0; k < 3; ++k) {
      call.args[size_t(2 * k)] = static_cast<const int32_t*>(k == kind ? words->data() : nullptr);
      call.args[size_t(2 * k + 1)] = k == kind ? db.count() : 0;
    }
    call.arrays.push_back(words);
    int32_t opened = 0;
    const bool ran = control_->Run([&](COcuvantCtrl& c) {
      opened = c.InitIris();
      if (opened == 1) {
        identifyEntries_ = db.entries;
        identifying_ = true;
      }
    });
    if (!ran) return Answer(res, 503, ErrorJson("the server is stopping"));
    if (opened != 1) {
      return Answer(res, 409,
                    Cat("{\"error\":\"InitIris answered ", std::to_string(opened), "\"}"));
    }
    const control::InvokeResult r = control_->Invoke(std::move(call));
    const int32_t started = r.ok() ? std::get<int32_t>(r.value) : 0;
    if (started != 1) {
      control_->Run([&](COcuvantCtrl&) { identifying_ = false; });
      return Answer(res, 409,
                    Cat("{\"error\":\"MatchIris answered ", std::to_string(started),
                        "\",\"result\":", std::to_string(started), "}"));
    }
    Answer(res, 200, Cat("{\"result\":1,\"templates\":", std::to_string(db.count()), "}"));
  });
  // {"camera": 1 visible-light | 2 infrared}: one portrait photo (PhotoCaptureEvent);
  // GET /api/photo then shows the last one.
  s.Post("/api/photo", [this](const httplib::Request& req, httplib::Response& res) {
    Json::Value body;
    if (!ParseObject(req.body, &body) ||
        !(body["camera"].isNull() || body["camera"].asInt() == 1 || body["camera"].asInt() == 2)) {
      return Answer(res, 400, ErrorJson("expected {\"camera\": 1 or 2}"));
    }
    const int32_t camera = body["camera"].isNull() ? 1 : body["camera"].asInt();
    std::error_code ec;
    std::filesystem::create_directories(config_.photoDirectory, ec);
    const std::string path =
        (std::filesystem::path(config_.photoDirectory) / "portrait.bmp").string();
    int32_t opened = 0, taken = 0;
    const bool ran = control_->Run([&](COcuvantCtrl& c) {
      opened = c.m_photoOpen ? 1 : c.InitPhotoCapture(camera);
      if (opened == 1) taken = c.PhotoCapture(2, path);
    });
    if (!ran) return Answer(res, 503, ErrorJson("the server is stopping"));
    if (opened != 1 || taken != 1) {
      return Answer(res, 409,
                    Cat("{\"error\":\"", opened != 1 ? "InitPhotoCapture" : "PhotoCapture",
                        " answered ", std::to_string(opened != 1 ? opened : taken), "\"}"));
    }
    Answer(res, 200, "{\"result\":1}");
  });
  s.Get("/api/simulator", [this](const httplib::Request&, httplib::Response& res) {
    Answer(res, 200,
           Cat("{\"simulated\":", config_.simulatedPerson ? "true" : "false",
               ",\"seed\":", std::to_string(seed_.load()), "}"));
  });
  s.Post("/api/simulator", [this](const httplib::Request& req, httplib::Response& res) {
    Json::Value body;
    if (!config_.simulatedPerson) return Answer(res, 409, ErrorJson("not on the simulator"));
    if (!ParseObject(req.body, &body) || !body["seed"].isIntegral() || body["seed"].asInt64() < 0) {
      return Answer(res, 400, ErrorJson("expected {\"seed\": N}"));
    }
    std::string error;
    bool busy = false, done = false;
    const bool ran = control_->Run([&](COcuvantCtrl& c) {
      // The cameras are replaced: only while none of them is open.
      busy = c.m_irisOpen || c.m_photoOpen || c.m_faceOpen;
      if (!busy) done = config_.simulatedPerson(body["seed"].asUInt64(), &error);
    });
    if (!ran) return Answer(res, 503, ErrorJson("the server is stopping"));
    if (busy) return Answer(res, 409, ErrorJson("a camera is open; close it first"));
    if (!done) return Answer(res, 500, ErrorJson(error));
    seed_ = body["seed"].asUInt64();
    Answer(res, 200, "{\"result\":1}");
  });
  s.Get("/api/photo", [this](const httplib::Request&, httplib::Response& res) {
    std::string path;
    {
      std::lock_guard<std::mutex> lock(photoMutex_);
      path = photoPath_;
    }
    // Only the photos this server asked for, never another file a client named.
    const std::filesystem::path p(path);
    std::ifstream in;
    if (p.parent_path() == std::filesystem::path(config_.photoDirectory))
      in.open(p, std::ios::binary);
    if (path.empty() || !in) return Answer(res, 404, ErrorJson("no photo yet"));
    std::ostringstream data;
    data << in.rdbuf();
    res.set_content(data.str(), "image/bmp");
  });
}

}  // namespace ocuvant::web
