// Events of the control. A host installs one sink; each event is one virtual call.
// LogInfo and PhotoCaptureEvent may arrive on any thread, the others on the host's
// thread from the control's message loop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/value.h"

namespace ocuvant::control {

class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void LogInfo(const std::string& Tag, const std::string& Log);
  // Template arguments point at 256 int32 inside the control, valid during the call.
  virtual void EnrollBothIrisEvent(const int32_t* IrisLeft_Small, const int32_t* IrisRight_Small,
                                   const int32_t* IrisLeft_Big, const int32_t* IrisRight_Big,
                                   const int32_t* IrisLeft_Q5, const int32_t* IrisRight_Q5,
                                   int32_t EnrollResult);
  virtual void EnrollLeftIrisEvent(const int32_t* IrisLeft_Small, const int32_t* IrisLeft_Big,
                                   const int32_t* IrisLeft_Q5, int32_t EnrollResult);
  virtual void EnrollRightIrisEvent(const int32_t* IrisRight_Small, const int32_t* IrisRight_Big,
                                    const int32_t* IrisRight_Q5, int32_t EnrollResult);
  virtual void MatchIrisEvent(int32_t MatchIndex_Small, int32_t MatchIndex_Big,
                              int32_t MatchIndex_Q5, int32_t MatchResult);
  virtual void PhotoCaptureEvent(int32_t CaptureKind, const std::string& ImageFile);
  virtual void EnrollBothIrisStrEvent(const std::string& sIrisLeft_Small,
                                      const std::string& sIrisRight_Small,
                                      const std::string& sIrisLeft_Big,
                                      const std::string& sIrisRight_Big,
                                      const std::string& sIrisLeft_Q5,
                                      const std::string& sIrisRight_Q5, int32_t EnrollResult);
  virtual void EnrollLeftIrisStrEvent(const std::string& sIrisLeft_Small,
                                      const std::string& sIrisLeft_Big,
                                      const std::string& sIrisLeft_Q5, int32_t EnrollResult);
  virtual void EnrollRightIrisStrEvent(const std::string& sIrisRight_Small,
                                       const std::string& sIrisRight_Big,
                                       const std::string& sIrisRight_Q5, int32_t EnrollResult);
  virtual void CloseCameraEvent(int32_t CameraKind, int32_t CloseResult);
  virtual void InitCameraEvent(int32_t CameraKind, int32_t InitResult);
};

// Every event as (DISPID, name, arguments): for hosts that print or script events.
class GenericEventSink : public EventSink {
 public:
  // Called on the thread that fired the event.
  virtual void OnEvent(int32_t dispid, const char* name, const std::vector<Value>& args) = 0;

  void LogInfo(const std::string& Tag, const std::string& Log) override;
  void EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c, const int32_t* d,
                           const int32_t* e, const int32_t* f, int32_t r) override;
  void EnrollLeftIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                           int32_t r) override;
  void EnrollRightIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                            int32_t r) override;
  void MatchIrisEvent(int32_t a, int32_t b, int32_t c, int32_t r) override;
  void PhotoCaptureEvent(int32_t kind, const std::string& file) override;
  void EnrollBothIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                              const std::string& d, const std::string& e, const std::string& f,
                              int32_t r) override;
  void EnrollLeftIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                              int32_t r) override;
  void EnrollRightIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                               int32_t r) override;
  void CloseCameraEvent(int32_t kind, int32_t result) override;
  void InitCameraEvent(int32_t kind, int32_t result) override;

 private:
  template <typename... A>
  void Emit(const char* name, const A&... args);
};

}  // namespace ocuvant::control
