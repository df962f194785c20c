#include "simulator/virtual_camera_script.h"

#include <cctype>
#include <cstdlib>

namespace ocuvant::simulator {
namespace {

struct ActionName {
  const char* name;
  SubjectAction action;
};

constexpr ActionName kActions[] = {
    {"present", SubjectAction::PresentLooking},
    {"closed", SubjectAction::EyesClosed},
    {"away", SubjectAction::LookingAway},
    {"far", SubjectAction::TooFar},
    {"gone", SubjectAction::Gone},
    {"defocused", SubjectAction::Defocused},
    {"stalled", SubjectAction::CameraStalled},
    {"unplugged", SubjectAction::CameraUnplugged},
};

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

}  // namespace

std::optional<SubjectScript> SubjectScript::Parse(const std::string& text) {
  SubjectScript script;
  if (Trim(text).empty()) return script;
  size_t pos = 0;
  while (pos <= text.size()) {
    const size_t comma = text.find(',', pos);
    const std::string item =
        Trim(text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
    pos = comma == std::string::npos ? text.size() + 1 : comma + 1;
    if (script.loop_) return std::nullopt;  // nothing may follow "loop"
    if (item == "loop") {
      if (script.steps_.empty()) return std::nullopt;
      script.loop_ = true;
      continue;
    }
    if (!script.steps_.empty() && script.steps_.back().durationMs == 0) return std::nullopt;
    const size_t colon = item.find(':');
    const std::string name = Trim(item.substr(0, colon));
    Step step{SubjectAction::PresentLooking, 0};
    bool known = false;
    for (const ActionName& a : kActions) {
      if (name == a.name) {
        step.action = a.action;
        known = true;
      }
    }
    if (!known) return std::nullopt;
    if (colon != std::string::npos) {
      const std::string digits = Trim(item.substr(colon + 1));
      if (digits.empty() || digits.size() > 9) return std::nullopt;
      for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
      }
      step.durationMs = std::strtoull(digits.c_str(), nullptr, 10);
      if (step.durationMs == 0) return std::nullopt;
    }
    script.steps_.push_back(step);
  }
  if (script.loop_ && script.steps_.back().durationMs == 0) return std::nullopt;
  return script;
}

SubjectAction SubjectScript::ActionAt(uint64_t milliseconds) const {
  if (steps_.empty()) return SubjectAction::PresentLooking;
  if (loop_) {
    uint64_t total = 0;
    for (const Step& s : steps_) total += s.durationMs;
    milliseconds %= total;
  }
  for (const Step& s : steps_) {
    if (s.durationMs == 0 || milliseconds < s.durationMs) return s.action;
    milliseconds -= s.durationMs;
  }
  return steps_.back().action;  // a finite script holds its last step
}

}  // namespace ocuvant::simulator
