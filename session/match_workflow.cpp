// Identification: every frame's eye images of the enabled kind against the host's
// database, until a match or the time-out.
#include "session/match_workflow.h"

#include <algorithm>
#include <cstring>

#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"
#include "session/enroll_eye.h"
#include "session/log.h"
#include "session/workflow_dumps.h"
#include "session/workflow_feedback.h"
#include "session/workflows.h"

namespace ocuvant::session {
namespace {

using control::COcuvantCtrl;
using engine::TemplateKind;

constexpr int32_t kMatchTimedOut = -2;  // m_lastResult of the frame that timed out

const char* const kRecognisedLines[engine::kKindCount] = {"Small虹膜识别OK", "Big虹膜识别OK",
                                                          "Q5虹膜识别OK"};

void NotePupilRatio(const KindView& k, const int32_t* quality) {
  const int32_t ratio = std::clamp<int32_t>(quality[5], INT16_MIN, INT16_MAX);
  if (ratio > *k.maxPupilRatio) *k.maxPupilRatio = static_cast<int16_t>(ratio);
}

// Tries the left eye, then the right eye when the left did not match; keeps the
// reports of the probes. Returns the eye that matched, or -1.
int MatchKind(COcuvantCtrl& ctrl, TemplateKind kind, const uint8_t* const* images,
              const int32_t* db, int32_t count, int32_t* index) {
  const KindView k = ViewOf(ctrl, kind);
  const KindView small = kind == engine::KindSmall ? k : ViewOf(ctrl, engine::KindSmall);
  int32_t quality[6] = {};
  for (int eye = 0; eye < control::kEyes; ++eye) {
    uint8_t* probeEye = k.CachedEyeImage(eye, 0);
    std::memcpy(probeEye, images[eye], k.eyeBytes);
    index[eye] = MatchEye(ctrl, k, eye, probeEye, db, count);
    k.stepResult[eye] = index[eye];
    k.ops->GetQualityScores(quality);
    const bool matched = index[eye] >= 0;
    if (kind == engine::KindQ5) {
      std::memcpy(small.matchQualityReport, quality, 3 * sizeof(int32_t));
    } else if (matched || kind == engine::KindSmall) {
      std::memcpy(small.matchQualityReport, quality, sizeof quality);
    } else {
      std::memcpy(k.matchQualityScratch, quality, sizeof quality);
    }
    if (matched) {
      if (k.hasLocation) {
        int32_t* l = small.matchLocationReport;
        k.ops->GetLocationResult(&l[0], &l[1], &l[2], &l[3]);
      }
      return eye;
    }
    if (k.hasLocation) NotePupilRatio(k, quality);
  }
  return -1;
}

// The end of a session that ran out of time: the last frame's eye images go to the
// time-out dumps of every kind that was tried.
template <typename Tried>
void ConcludeTimedOut(COcuvantCtrl& ctrl,
                      const uint8_t* const (&images)[engine::kKindCount][control::kEyes],
                      Tried tried) {
  ctrl.m_sessionMode = control::ModeIdle;
  ctrl.m_lastResult = kMatchTimedOut;
  RequestBackgroundSnapshot(ctrl, 1, ctrl.m_matchSnapshotPath);
  for (int kind = 0; kind < engine::kKindCount; ++kind) {
    if (!tried(kind)) continue;
    const KindView k = ViewOf(ctrl, static_cast<TemplateKind>(kind));
    WriteMatchTimeoutDump(ctrl, k, k.CachedIrisImage(engine::EyeLeft, 0), images[kind][0],
                          images[kind][1]);
  }
  LogAlways("timeout", "match");
  PlayMomentPrompt(ctrl, PromptMatchTimeout);
  SendResult(ctrl, control::WM_MATCH_DONE, 0);
}

}  // namespace

int32_t MatchEye(COcuvantCtrl& ctrl, const KindView& k, int eye, uint8_t* image,
                 const int32_t* database, int32_t count) {
  control::WorkflowBuffers& w = ctrl.m_workflow;
  const SearchRect rect = RectFor(k);
  uint8_t* probe = k.CachedFeature(engine::EyeLeft, 0);
  uint8_t* crop = k.CachedIrisImage(engine::EyeLeft, 0);
  const int32_t code =
      k.ops->ProcessMatchImage(image, probe, crop, rect.left, rect.right, rect.top, rect.bottom);
  w.matchProcessCode[k.kind][eye] = code;
  int32_t index = -1;
  if (code == 1) {
    index = k.ops->MatchTemplate(reinterpret_cast<const uint8_t*>(database), probe, count,
                                 &w.matchScore);
  }
  if (code < 0) {
    RejectImage(ctrl, code);
    w.progress[k.kind][eye].lastRejection.store(code, std::memory_order_relaxed);
  }
  return index < 0 ? -1 : index;
}

int32_t MatchFrame(COcuvantCtrl& ctrl, const int32_t* smallDb, int32_t smallCount,
                   const int32_t* bigDb, int32_t bigCount, const int32_t* q5Db, int32_t q5Count,
                   const uint8_t* smallLeft, const uint8_t* smallRight, const uint8_t* bigLeft,
                   const uint8_t* bigRight, const uint8_t* q5Left, const uint8_t* q5Right) {
  const int32_t* dbs[engine::kKindCount] = {smallDb, bigDb, q5Db};
  const int32_t counts[engine::kKindCount] = {smallCount, bigCount, q5Count};
  const uint8_t* const images[engine::kKindCount][control::kEyes] = {
      {smallLeft, smallRight}, {bigLeft, bigRight}, {q5Left, q5Right}};
  auto tried = [&](int kind) {
    return KindEnabled(ctrl, static_cast<TemplateKind>(kind)) && counts[kind] > 0 &&
           dbs[kind] != nullptr;
  };

  int matchedKind = -1;
  int matchedEye = -1;
  int32_t index[control::kEyes] = {-1, -1};
  for (int kind = 0; kind < engine::kKindCount; ++kind) {
    for (int eye = 0; eye < control::kEyes; ++eye) ctrl.m_workflow.matchProcessCode[kind][eye] = -1;
  }
  for (int kind = 0; kind < engine::kKindCount && matchedKind < 0; ++kind) {
    if (!tried(kind)) continue;
    matchedEye = MatchKind(ctrl, static_cast<TemplateKind>(kind), images[kind], dbs[kind],
                           counts[kind], index);
    if (matchedEye >= 0) matchedKind = kind;
  }
  if (matchedKind < 0) RejectImage(ctrl, -1);

  const uint32_t t = SessionElapsedMs(ctrl);
  const int64_t limit = int64_t{ctrl.MatchIrisTimeout} * 1000;
  if (int64_t{t} > limit) {
    ConcludeTimedOut(ctrl, images, tried);
  } else if (matchedKind >= 0) {
    ctrl.m_sessionMode = control::ModeIdle;
    RequestBackgroundSnapshot(ctrl, 1, ctrl.m_matchSnapshotPath);
    LogAlways(kRecognisedLines[matchedKind], "match");
    ctrl.m_matchIndex[matchedKind] = index[matchedEye];
    ctrl.m_lastResult = (matchedKind + 1) * 10 + matchedEye;
    const KindView k = ViewOf(ctrl, static_cast<TemplateKind>(matchedKind));
    WriteRecognitionDump(ctrl, k, k.CachedIrisImage(engine::EyeLeft, 0),
                         images[matchedKind][matchedEye]);
    PlayMomentPrompt(ctrl, PromptMatchFound);
    SendResult(ctrl, control::WM_MATCH_DONE, ctrl.m_lastResult);
  } else if (int64_t{t} >= limit / 2) {
    if (!ctrl.m_fillLightOn) {
      LogIfEnabled("++++++++识别时间超过了一半,打开补光灯", "match");
      device::SendIlluminatorCommand(device::CmdIlluminatorOn);
      ctrl.m_fillLightOn = true;
    }
  } else if (!ctrl.m_fillLightOn &&
             ((ctrl.m_withBig && ctrl.m_big.maxPupilRatio > kPupilRatioLimit) ||
              (ctrl.m_withSmall && ctrl.m_small.maxPupilRatio > kPupilRatioLimit))) {
    LogIfEnabled("*******瞳孔虹膜比超过阀值,打开补光灯", "match");
    device::SendIlluminatorCommand(device::CmdIlluminatorOn);
    ctrl.m_fillLightOn = true;
  }
  return ctrl.m_lastResult;
}

int32_t MatchTimedOut(COcuvantCtrl& ctrl) {
  if (ctrl.m_sessionMode.load() != control::ModeMatch) return ctrl.m_lastResult;
  const uint8_t* const images[engine::kKindCount][control::kEyes] = {
      {ctrl.m_small.eyeImage[control::EyeLeft], ctrl.m_small.eyeImage[control::EyeRight]},
      {ctrl.m_big.eyeImage[control::EyeLeft], ctrl.m_big.eyeImage[control::EyeRight]},
      {ctrl.m_q5.eyeImage[control::EyeLeft], ctrl.m_q5.eyeImage[control::EyeRight]}};
  auto tried = [&](int kind) {
    return KindEnabled(ctrl, static_cast<TemplateKind>(kind)) && ctrl.m_matchDbCount[kind] > 0 &&
           ctrl.m_matchDb[kind] != nullptr;
  };
  ConcludeTimedOut(ctrl, images, tried);
  return ctrl.m_lastResult;
}

}  // namespace ocuvant::session
