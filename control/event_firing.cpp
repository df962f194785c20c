// The control's events, fired to the installed sink.
#include "control/ocuvant_ctrl.h"
#include "control/template_delivery.h"

namespace ocuvant::control {

void COcuvantCtrl::FireLogInfo(const std::string& tag, const std::string& log) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) s->LogInfo(tag, log);
}

void COcuvantCtrl::FireEnrollBothIrisEvent(int32_t result) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    s->EnrollBothIrisEvent(m_small.templates[EyeLeft], m_small.templates[EyeRight],
                           m_big.templates[EyeLeft], m_big.templates[EyeRight],
                           m_q5.templates[EyeLeft], m_q5.templates[EyeRight], result);
  }
}

void COcuvantCtrl::FireEnrollLeftIrisEvent(int32_t result) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    s->EnrollLeftIrisEvent(m_small.templates[EyeLeft], m_big.templates[EyeLeft],
                           m_q5.templates[EyeLeft], result);
  }
}

void COcuvantCtrl::FireEnrollRightIrisEvent(int32_t result) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    s->EnrollRightIrisEvent(m_small.templates[EyeRight], m_big.templates[EyeRight],
                            m_q5.templates[EyeRight], result);
  }
}

namespace {
std::string HexOrEmpty(bool withTemplates, const int32_t (&area)[kTemplateAreaBytes / 4]) {
  return withTemplates ? TemplateHex(area) : std::string();
}
}  // namespace

void COcuvantCtrl::FireEnrollBothIrisStrEvent(int32_t result, bool withTemplates) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    const bool t = withTemplates;
    s->EnrollBothIrisStrEvent(
        HexOrEmpty(t, m_small.templates[EyeLeft]), HexOrEmpty(t, m_small.templates[EyeRight]),
        HexOrEmpty(t, m_big.templates[EyeLeft]), HexOrEmpty(t, m_big.templates[EyeRight]),
        HexOrEmpty(t, m_q5.templates[EyeLeft]), HexOrEmpty(t, m_q5.templates[EyeRight]), result);
  }
}

void COcuvantCtrl::FireEnrollLeftIrisStrEvent(int32_t result, bool withTemplates) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    const bool t = withTemplates;
    s->EnrollLeftIrisStrEvent(HexOrEmpty(t, m_small.templates[EyeLeft]),
                              HexOrEmpty(t, m_big.templates[EyeLeft]),
                              HexOrEmpty(t, m_q5.templates[EyeLeft]), result);
  }
}

void COcuvantCtrl::FireEnrollRightIrisStrEvent(int32_t result, bool withTemplates) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    const bool t = withTemplates;
    s->EnrollRightIrisStrEvent(HexOrEmpty(t, m_small.templates[EyeRight]),
                               HexOrEmpty(t, m_big.templates[EyeRight]),
                               HexOrEmpty(t, m_q5.templates[EyeRight]), result);
  }
}

void COcuvantCtrl::FireMatchIrisEvent(int32_t result) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    s->MatchIrisEvent(m_matchIndex[0], m_matchIndex[1], m_matchIndex[2], result);
  }
}

void COcuvantCtrl::FirePhotoCaptureEvent(int32_t captureKind, const std::string& imageFile) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    s->PhotoCaptureEvent(captureKind, imageFile);
  }
}

void COcuvantCtrl::FireCloseCameraEvent(int32_t cameraKind, int32_t closeResult) {
  if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
    s->CloseCameraEvent(cameraKind, closeResult);
  }
}

}  // namespace ocuvant::control
