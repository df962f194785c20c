// What the simulated person in front of the virtual iris camera does over time.
//
// Script text: steps separated by commas, each "action" or "action:milliseconds";
// actions: present (present and looking), closed (eyes closed), away (looking away),
// far (too far), gone (nobody there), defocused; and what the camera does: stalled
// (delivers no frames), unplugged (the device goes away for good). A step without a duration lasts
// for ever; a final "loop" step repeats the script. Example:
//   "gone:1000,far:1000,present:3000,closed:500,present"
// An empty script means present and looking throughout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ocuvant::simulator {

enum class SubjectAction : int {
  PresentLooking = 0,
  EyesClosed,
  LookingAway,
  TooFar,
  Gone,
  Defocused,
  CameraStalled,
  CameraUnplugged,
};

class SubjectScript {
 public:
  SubjectScript() = default;  // present and looking throughout
  // nullopt for a malformed script (unknown action, bad duration, steps after an
  // endless step).
  static std::optional<SubjectScript> Parse(const std::string& text);

  SubjectAction ActionAt(uint64_t milliseconds) const;

 private:
  struct Step {
    SubjectAction action;
    uint64_t durationMs;  // 0: for ever
  };
  std::vector<Step> steps_;
  bool loop_ = false;
};

}  // namespace ocuvant::simulator
