// Helpers of the face tests: the library folders, rendered infrared frames, and a
// collector of log lines and message boxes.
#pragma once

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "session/face_workflow.h"
#include "session/log.h"
#include "simulator/face_scene.h"

namespace ocuvant::face_test {

// Folder of the reference library (the test program's own) and of the broken ones.
inline std::string ReferenceDir() {
  return platform::ModuleDirectory();
}
inline std::string BrokenDir(const char* variant) {
  return std::string(OCUVANT_FACE_LIBRARIES) + "/" + variant + "/";
}

// A 640 x 480 frame as the infrared camera delivers it: bottom-up BGR24.
inline void RenderFrame(const simulator::FaceScene& scene, uint64_t index,
                        std::vector<uint8_t>* bgr) {
  constexpr int w = session::kFaceFrameWidth, h = session::kFaceFrameHeight;
  std::vector<uint8_t> grey(size_t{w} * h);
  simulator::RenderFaceScene(scene, index, grey.data(), w, h);
  bgr->assign(session::kFaceFrameBytes, 0);
  for (int stored = 0; stored < h; ++stored) {
    for (int x = 0; x < w; ++x) {
      const uint8_t v = grey[size_t(h - 1 - stored) * w + x];
      for (int k = 0; k < 3; ++k) (*bgr)[(size_t(stored) * w + x) * 3 + k] = v;
    }
  }
}

inline simulator::FaceScene Face(int cx, int cy, int w, int h, int pose = 0, uint64_t person = 1) {
  return simulator::FaceScene{true, cx, cy, w, h, pose, person};
}

// Session log lines ("tag|text") and message boxes while alive.
class Recorder {
 public:
  Recorder() {
    Current() = this;
    session::SetLogHook(&Hook);
    platform::SetMessageBoxHandler([this](const std::string& text, const std::string&) {
      std::lock_guard<std::mutex> lock(mutex_);
      boxes_.push_back(text);
    });
  }
  ~Recorder() {
    session::SetLogHook(nullptr);
    platform::SetMessageBoxHandler(nullptr);
    Current() = nullptr;
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  std::vector<std::string> TakeLines() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    out.swap(lines_);
    return out;
  }
  std::vector<std::string> Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
  }

 private:
  static Recorder*& Current() {
    static Recorder* current = nullptr;
    return current;
  }
  static void Hook(bool, const std::string& text, const std::string& tag) {
    if (Recorder* r = Current()) {
      std::lock_guard<std::mutex> lock(r->mutex_);
      r->lines_.push_back(tag + "|" + text);
    }
  }
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> boxes_;
};

}  // namespace ocuvant::face_test
