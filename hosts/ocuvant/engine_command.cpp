// `ocuvant engine`: the iris engines on files, for offline work on the control's dumps.
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/common/engine_ops.h"
#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/engine_files.h"
#include "session/match_pool.h"
#include "simulator/render/eye_renderer.h"
#include "simulator/render/pgm.h"

namespace ocuvant::host {
namespace {

using engine::EngineOps;
using engine::TemplateKind;

constexpr const char* kUsage = R"(usage: ocuvant engine SUBCOMMAND [OPTIONS]

  process --kind small|big|q5 [--mode enroll|match | --match] [--rect L,R,T,B]
          [--quality T,V,G[,F,M]] [--crop OUT.pgm] [--templates OUT.bin] IMAGE...
      Runs the Process operation on each image (8-bit P5 PGM, a raw dump of exactly the
      kind's eye-image size, or a grey BMP) and prints one JSON line per image:
      {"file":..,"code":N,"quality":[..],"location":[x,y,irisRadius,pupilRadius],
       "template":"<1024 hex>"} (quality, location and template only when code is 1;
      no location for q5). A file that cannot be read gives {"file":..,"error":..} and the
      others go on. Eye images: small 960x960, big 1280x960, q5 1280x1080.
      --mode       enroll (default) or match thresholds and limits; --match = --mode match
      --rect       dark-spot search rectangle (small, big); default the whole image
                   (the engine clamps it to its central zone)
      --quality    thresholds handed to SetEnrollQuality/SetMatchQuality; defaults are the
                   control's: enroll 60,35,50,60,30 / match 50,30,50,50,30 (q5: 60,35,50
                   and 50,33,50)
      --crop       writes the iris crop of each accepted image as PGM (several images:
                   OUT-<n>.pgm, n = position of the image on the command line)
      --templates  appends the template of each accepted image to a database file
                   (512 bytes each, usable by `match`)

  build --kind K T1 T2 T3
      BuildEnrollTemplate of three templates; prints {"index":k,"score":s}.

  match --kind K (--db DB PROBE | DB PROBE)
      MatchTemplate of a probe against a database; prints {"index":i,"score":s} with the
      score as the float the matcher returns (1 when no pair had enough common bits).
      Databases of 2048 templates or more are scanned on every core (at most 8 threads;
      the environment variable OCUVANT_MATCH_THREADS sets the limit, 1 for one thread).

  render --kind K (--subject S | --seed S) --capture C [--eye left|right]
         [--variant defocus|closed|noeye] OUT.pgm
      Renders a synthetic eye of the kind's size and prints its ground truth.

Templates (T1.., PROBE) are 1024 hex characters on the command line, or files of 512
bytes or of one hex line. Databases are templates back to back (512 bytes each) or one
hex template per line. Exit status: 0 when every file was read, 1 otherwise, 2 on usage
errors.)";

std::string JsonLine(const Json::Value& v) {
  Json::StreamWriterBuilder b;
  b["indentation"] = "";
  b["emitUTF8"] = true;
  b["precision"] = 9;  // enough digits for a float to read back exactly
  return Json::writeString(b, v);
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "ocuvant engine: %s (see ocuvant engine --help)\n", message.c_str());
  return 2;
}

bool ParseKind(const std::string& s, TemplateKind& kind) {
  if (s == "small" || s == "0")
    kind = engine::KindSmall;
  else if (s == "big" || s == "1")
    kind = engine::KindBig;
  else if (s == "q5" || s == "Q5" || s == "2")
    kind = engine::KindQ5;
  else
    return false;
  return true;
}

bool ParseInts(const std::string& s, std::vector<int32_t>& out) {
  out.clear();
  std::stringstream in(s);
  std::string item;
  while (std::getline(in, item, ',')) {
    char* end = nullptr;
    const long v = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    out.push_back(static_cast<int32_t>(v));
  }
  return true;
}

// Options common to the subcommands; positional arguments kept in order.
struct Options {
  bool hasKind = false;
  TemplateKind kind = engine::KindSmall;
  bool match = false;
  std::vector<int32_t> rect, quality;
  std::string crop, templates, db, variant;
  int eye = 0;
  uint64_t subject = 0, capture = 0;
  bool hasSubject = false, hasCapture = false;
  std::vector<std::string> positional;
};

bool ParseOptions(const std::vector<std::string>& args, size_t first, Options& o,
                  std::string& error) {
  for (size_t i = first; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return error = a + " needs a value", false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--match") {
      o.match = true;
    } else if (a.rfind("--", 0) != 0 || a == "--") {
      o.positional.push_back(a);
    } else if (!value(v)) {
      return false;
    } else if (a == "--kind") {
      if (!ParseKind(v, o.kind)) return error = "unknown kind '" + v + "'", false;
      o.hasKind = true;
    } else if (a == "--mode") {
      if (v != "enroll" && v != "match") return error = "--mode is enroll or match", false;
      o.match = v == "match";
    } else if (a == "--rect") {
      if (!ParseInts(v, o.rect) || o.rect.size() != 4) return error = "--rect needs L,R,T,B", false;
    } else if (a == "--quality") {
      if (!ParseInts(v, o.quality) || (o.quality.size() != 3 && o.quality.size() != 5))
        return error = "--quality needs T,V,G or T,V,G,F,M", false;
    } else if (a == "--crop") {
      o.crop = v;
    } else if (a == "--templates") {
      o.templates = v;
    } else if (a == "--db") {
      o.db = v;
    } else if (a == "--variant") {
      o.variant = v;
    } else if (a == "--eye") {
      if (v != "left" && v != "right") return error = "--eye is left or right", false;
      o.eye = v == "right";
    } else if (a == "--subject" || a == "--seed" || a == "--capture") {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0') return error = a + " needs a number", false;
      (a == "--capture" ? o.capture : o.subject) = n;
      (a == "--capture" ? o.hasCapture : o.hasSubject) = true;
    } else {
      return error = "unknown option " + a, false;
    }
  }
  if (!o.hasKind) return error = "--kind is required", false;
  return true;
}

// Init and thresholds as the control hands them over.
const EngineOps& ReadyEngine(const Options& o) {
  const EngineOps& ops = engine::Engine(o.kind);
  ops.InitEngine();
  const bool q5 = o.kind == engine::KindQ5;
  std::vector<int32_t> enroll =
      q5 ? std::vector<int32_t>{60, 35, 50, 0, 0} : std::vector<int32_t>{60, 35, 50, 60, 30};
  std::vector<int32_t> match =
      q5 ? std::vector<int32_t>{50, 33, 50, 0, 0} : std::vector<int32_t>{50, 30, 50, 50, 30};
  std::vector<int32_t>& chosen = o.match ? match : enroll;
  for (size_t i = 0; i < o.quality.size(); ++i) chosen[i] = o.quality[i];
  ops.SetEnrollQuality(enroll[0], enroll[1], enroll[2], enroll[3], enroll[4]);
  ops.SetMatchQuality(match[0], match[1], match[2], match[3], match[4]);
  return ops;
}

std::string CropPath(const std::string& pattern, size_t index, size_t count) {
  if (count == 1) return pattern;
  const size_t dot = pattern.rfind('.');
  const size_t slash = pattern.rfind('/');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  std::ostringstream n;
  n << '-' << index + 1;
  return hasExt ? pattern.substr(0, dot) + n.str() + pattern.substr(dot) : pattern + n.str();
}

int RunProcess(const Options& o) {
  if (o.positional.empty()) return UsageError("process needs at least one image");
  const EngineOps& ops = ReadyEngine(o);
  const int w = engine::kEyeWidth[o.kind], h = engine::kEyeHeight[o.kind];
  const int side = engine::kCropSide[o.kind];
  const int32_t l = o.rect.empty() ? 0 : o.rect[0], r = o.rect.empty() ? w - 1 : o.rect[1];
  const int32_t t = o.rect.empty() ? 0 : o.rect[2], b = o.rect.empty() ? h - 1 : o.rect[3];
  std::vector<uint8_t> pixels, crop(static_cast<size_t>(side) * side);
  uint8_t templ[engine::kTemplateBytes];
  std::ofstream templates;
  if (!o.templates.empty()) {
    templates.open(o.templates, std::ios::binary | std::ios::app);
    if (!templates) return std::fprintf(stderr, "cannot open %s\n", o.templates.c_str()), 1;
  }
  int status = 0;
  for (size_t i = 0; i < o.positional.size(); ++i) {
    const std::string& file = o.positional[i];
    Json::Value line;
    line["file"] = file;
    std::string error;
    if (!ReadEyeImage(file, w, h, pixels, error)) {
      line["error"] = error;
      std::cout << JsonLine(line) << '\n';
      status = 1;
      continue;
    }
    const int32_t code =
        o.match ? ops.ProcessMatchImage(pixels.data(), templ, crop.data(), l, r, t, b)
                : ops.ProcessEnrollImage(pixels.data(), templ, crop.data(), l, r, t, b);
    line["code"] = code;
    if (code == 1) {
      int32_t q[6] = {};
      ops.GetQualityScores(q);
      for (int k = 0; k < engine::kQualityCount[o.kind]; ++k) line["quality"].append(q[k]);
      if (ops.GetLocationResult != nullptr) {
        int32_t loc[4] = {};
        ops.GetLocationResult(&loc[0], &loc[1], &loc[2], &loc[3]);
        for (int32_t v : loc) line["location"].append(v);
      }
      line["template"] = EncodeHex(templ, sizeof templ);
      if (!o.crop.empty()) {
        const std::string path = CropPath(o.crop, i, o.positional.size());
        if (!sim::WritePgm(path, crop.data(), side, side)) {
          line["error"] = "cannot write " + path;
          status = 1;
        }
      }
      if (templates) templates.write(reinterpret_cast<const char*>(templ), sizeof templ);
    }
    std::cout << JsonLine(line) << '\n';
  }
  return status;
}

int RunBuild(const Options& o) {
  if (o.positional.size() != 3) return UsageError("build needs three templates");
  std::vector<uint8_t> t[3];
  for (int i = 0; i < 3; ++i) {
    std::string error;
    if (!ReadTemplateArg(o.positional[i], t[i], error))
      return std::fprintf(stderr, "%s\n", error.c_str()), 1;
  }
  const EngineOps& ops = ReadyEngine(o);
  int32_t score = 0;
  Json::Value line;
  line["index"] = ops.BuildEnrollTemplate(t[0].data(), t[1].data(), t[2].data(), &score);
  line["score"] = score;
  std::cout << JsonLine(line) << '\n';
  return 0;
}

int RunMatch(const Options& o) {
  const size_t want = o.db.empty() ? 2 : 1;
  if (o.positional.size() != want) return UsageError("match needs a database and a probe");
  const std::string dbPath = o.db.empty() ? o.positional[0] : o.db;
  std::vector<uint8_t> db, probe;
  std::string error;
  if (!ReadTemplateDatabase(dbPath, db, error) ||
      !ReadTemplateArg(o.positional.back(), probe, error))
    return std::fprintf(stderr, "%s\n", error.c_str()), 1;
  const size_t n = db.size() / engine::kTemplateBytes;
  if (n > static_cast<size_t>(INT32_MAX)) return std::fprintf(stderr, "database too large\n"), 1;
  const EngineOps& ops = ReadyEngine(o);
  session::StartMatchPool();
  float score = 0;
  Json::Value line;
  line["index"] = ops.MatchTemplate(db.data(), probe.data(), static_cast<int32_t>(n), &score);
  line["score"] = score;
  std::cout << JsonLine(line) << '\n';
  return 0;
}

int RunRender(const Options& o) {
  if (o.positional.size() != 1) return UsageError("render needs one output file");
  if (!o.hasSubject || !o.hasCapture) return UsageError("render needs --subject and --capture");
  const int w = engine::kEyeWidth[o.kind], h = engine::kEyeHeight[o.kind];
  sim::CaptureParams params = sim::GoodCapture(w, h, o.capture);
  if (o.variant == "defocus")
    params.variant = sim::EyeVariant::Defocused;
  else if (o.variant == "closed")
    params.variant = sim::EyeVariant::Closed;
  else if (o.variant == "noeye")
    params.variant = sim::EyeVariant::NoEye;
  else if (!o.variant.empty())
    return UsageError("--variant is defocus, closed or noeye");
  const sim::Subject subject(o.subject);
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
  const sim::EyeTruth truth = sim::RenderEye(subject, o.eye, params, pixels.data(), w, h);
  if (!sim::WritePgm(o.positional[0], pixels.data(), w, h))
    return std::fprintf(stderr, "cannot write %s\n", o.positional[0].c_str()), 1;
  Json::Value line;
  line["file"] = o.positional[0];
  line["eyePresent"] = truth.eyePresent;
  for (double v : {truth.pupilX, truth.pupilY, truth.pupilRadius}) line["pupil"].append(v);
  for (double v : {truth.irisX, truth.irisY, truth.irisRadius}) line["iris"].append(v);
  line["rotationDegrees"] = truth.rotationDegrees;
  std::cout << JsonLine(line) << '\n';
  return 0;
}

int RunEngine(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("missing subcommand");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const std::string& sub = args[0];
  if (sub != "process" && sub != "build" && sub != "match" && sub != "render")
    return UsageError("unknown subcommand '" + sub + "'");
  Options o;
  std::string error;
  if (!ParseOptions(args, 1, o, error)) return UsageError(error);
  if (sub == "process") return RunProcess(o);
  if (sub == "build") return RunBuild(o);
  if (sub == "match") return RunMatch(o);
  return RunRender(o);
}

const CommandRegistrar reg({"engine", "run the iris engines on image and template files", kUsage,
                            RunEngine});

}  // namespace
}  // namespace ocuvant::host
