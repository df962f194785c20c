#include "simulator/face_scene.h"

#include <cstdlib>
#include <sstream>

#include "simulator/render/random.h"

namespace ocuvant::simulator {
namespace {

constexpr uint8_t kBackground = 40;
constexpr uint8_t kSkin = 185;
constexpr uint8_t kEye = 25;
constexpr uint8_t kMouth = 70;
constexpr int kNoise = 6;  // sensor noise, +- grey levels

uint8_t Clamp(int v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

bool InEllipse(double x, double y, double cx, double cy, double rx, double ry) {
  if (rx <= 0 || ry <= 0) return false;
  const double dx = (x - cx) / rx, dy = (y - cy) / ry;
  return dx * dx + dy * dy <= 1.0;
}

bool ParseInt(const std::string& token, int64_t* out) {
  if (token.empty()) return false;
  char* end = nullptr;
  const long long v = std::strtoll(token.c_str(), &end, 10);
  if (*end != '\0' || v < -100000 || v > 100000000) return false;
  *out = v;
  return true;
}

}  // namespace

FacePersonTraits PersonTraits(uint64_t person) {
  sim::Rng rng(sim::Combine(person, 0xFACEull));
  FacePersonTraits t;
  t.eyeSpacing = 440 + static_cast<int32_t>(rng.Next() % 121);
  t.eyeRow = 360 + static_cast<int32_t>(rng.Next() % 81);
  t.mouthRow = 700 + static_cast<int32_t>(rng.Next() % 91);
  return t;
}

int32_t EyeDistance(const FaceScene& scene) {
  return PersonTraits(scene.person).eyeSpacing * scene.width / 1000;
}

void RenderFaceScene(const FaceScene& scene, uint64_t frame, uint8_t* grey, int32_t width,
                     int32_t height) {
  const FacePersonTraits t = PersonTraits(scene.person);
  const double cx = scene.centreX, cy = scene.centreY;
  const double rx = scene.width / 2.0, ry = scene.height / 2.0;
  const double top = cy - ry;
  const double shift = scene.pose * scene.width / 200.0;
  const double halfSpacing = EyeDistance(scene) / 2.0;
  const double eyeY = top + t.eyeRow * scene.height / 1000.0;
  const double eyeRx = scene.width * 0.07, eyeRy = scene.width * 0.035;
  const double mouthY = top + t.mouthRow * scene.height / 1000.0;
  const double mouthRx = scene.width * 0.16, mouthRy = scene.height * 0.025;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = grey + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      int level = kBackground + 20 * y / (height > 0 ? height : 1);
      if (scene.present && InEllipse(x, y, cx, cy, rx, ry)) {
        level = kSkin;
        if (InEllipse(x, y, cx + shift - halfSpacing, eyeY, eyeRx, eyeRy) ||
            InEllipse(x, y, cx + shift + halfSpacing, eyeY, eyeRx, eyeRy)) {
          level = kEye;
        } else if (InEllipse(x, y, cx + shift, mouthY, mouthRx, mouthRy)) {
          level = kMouth;
        }
      }
      const uint64_t h = sim::Combine(frame, static_cast<uint64_t>(y) * 65536u + x);
      row[x] = Clamp(level + static_cast<int>(h % (2 * kNoise + 1)) - kNoise);
    }
  }
}

std::optional<FaceScript> FaceScript::Parse(const std::string& text) {
  FaceScript script;
  std::stringstream steps(text);
  std::string item;
  bool endless = false;
  while (std::getline(steps, item, ';')) {
    std::stringstream words(item);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    if (endless) return std::nullopt;  // nothing after a step that lasts for ever
    if (w[0] == "loop" && w.size() == 1) {
      if (script.steps_.empty()) return std::nullopt;
      script.loop_ = true;
      endless = true;
      continue;
    }
    Step step{FaceScene{}, 0};
    size_t i = 1;
    if (w[0] == "face") {
      int64_t v[4];
      if (w.size() < 5) return std::nullopt;
      for (int k = 0; k < 4; ++k) {
        if (!ParseInt(w[1 + k], &v[k])) return std::nullopt;
      }
      if (v[2] <= 0 || v[3] <= 0) return std::nullopt;
      step.scene = FaceScene{true,
                             static_cast<int32_t>(v[0]),
                             static_cast<int32_t>(v[1]),
                             static_cast<int32_t>(v[2]),
                             static_cast<int32_t>(v[3]),
                             0,
                             1};
      i = 5;
    } else if (w[0] == "unplugged") {
      step.scene.unplugged = true;
    } else if (w[0] != "gone") {
      return std::nullopt;
    }
    bool timed = false;
    for (; i < w.size(); i += 2) {
      int64_t v;
      if (i + 1 >= w.size() || !ParseInt(w[i + 1], &v)) return std::nullopt;
      if (w[i] == "for" && v > 0) {
        step.durationMs = static_cast<uint64_t>(v);
        timed = true;
      } else if (w[i] == "pose" && step.scene.present && v >= -100 && v <= 100) {
        step.scene.pose = static_cast<int32_t>(v);
      } else if (w[i] == "person" && step.scene.present && v >= 0) {
        step.scene.person = static_cast<uint64_t>(v);
      } else {
        return std::nullopt;
      }
    }
    endless = !timed;
    script.steps_.push_back(step);
  }
  return script;
}

FaceScene FaceScript::SceneAt(uint64_t milliseconds) const {
  if (steps_.empty()) return FaceScene{};
  uint64_t total = 0;
  for (const Step& s : steps_) total += s.durationMs;
  if (loop_ && total > 0) milliseconds %= total;
  for (const Step& s : steps_) {
    if (s.durationMs == 0 || milliseconds < s.durationMs) return s.scene;
    milliseconds -= s.durationMs;
  }
  return FaceScene{};  // a timed script that has run out: nobody there
}

}  // namespace ocuvant::simulator
