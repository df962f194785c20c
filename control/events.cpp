#include "control/events.h"

#include "control/dispatch_table.h"

namespace ocuvant::control {

// A sink that does not override an event ignores it.
void EventSink::LogInfo(const std::string&, const std::string&) {}
void EventSink::EnrollBothIrisEvent(const int32_t*, const int32_t*, const int32_t*, const int32_t*,
                                    const int32_t*, const int32_t*, int32_t) {}
void EventSink::EnrollLeftIrisEvent(const int32_t*, const int32_t*, const int32_t*, int32_t) {}
void EventSink::EnrollRightIrisEvent(const int32_t*, const int32_t*, const int32_t*, int32_t) {}
void EventSink::MatchIrisEvent(int32_t, int32_t, int32_t, int32_t) {}
void EventSink::PhotoCaptureEvent(int32_t, const std::string&) {}
void EventSink::EnrollBothIrisStrEvent(const std::string&, const std::string&, const std::string&,
                                       const std::string&, const std::string&, const std::string&,
                                       int32_t) {}
void EventSink::EnrollLeftIrisStrEvent(const std::string&, const std::string&, const std::string&,
                                       int32_t) {}
void EventSink::EnrollRightIrisStrEvent(const std::string&, const std::string&, const std::string&,
                                        int32_t) {}
void EventSink::CloseCameraEvent(int32_t, int32_t) {}
void EventSink::InitCameraEvent(int32_t, int32_t) {}

template <typename... A>
void GenericEventSink::Emit(const char* name, const A&... args) {
  const DispatchEntry* e = FindEvent(name);
  OnEvent(e ? e->dispid : 0, name, std::vector<Value>{Value(args)...});
}

void GenericEventSink::LogInfo(const std::string& Tag, const std::string& Log) {
  Emit("LogInfo", Tag, Log);
}
void GenericEventSink::EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                           const int32_t* d, const int32_t* e, const int32_t* f,
                                           int32_t r) {
  Emit("EnrollBothIrisEvent", a, b, c, d, e, f, r);
}
void GenericEventSink::EnrollLeftIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                           int32_t r) {
  Emit("EnrollLeftIrisEvent", a, b, c, r);
}
void GenericEventSink::EnrollRightIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                            int32_t r) {
  Emit("EnrollRightIrisEvent", a, b, c, r);
}
void GenericEventSink::MatchIrisEvent(int32_t a, int32_t b, int32_t c, int32_t r) {
  Emit("MatchIrisEvent", a, b, c, r);
}
void GenericEventSink::PhotoCaptureEvent(int32_t kind, const std::string& file) {
  Emit("PhotoCaptureEvent", kind, file);
}
void GenericEventSink::EnrollBothIrisStrEvent(const std::string& a, const std::string& b,
                                              const std::string& c, const std::string& d,
                                              const std::string& e, const std::string& f,
                                              int32_t r) {
  Emit("EnrollBothIrisStrEvent", a, b, c, d, e, f, r);
}
void GenericEventSink::EnrollLeftIrisStrEvent(const std::string& a, const std::string& b,
                                              const std::string& c, int32_t r) {
  Emit("EnrollLeftIrisStrEvent", a, b, c, r);
}
void GenericEventSink::EnrollRightIrisStrEvent(const std::string& a, const std::string& b,
                                               const std::string& c, int32_t r) {
  Emit("EnrollRightIrisStrEvent", a, b, c, r);
}
void GenericEventSink::CloseCameraEvent(int32_t kind, int32_t result) {
  Emit("CloseCameraEvent", kind, result);
}
void GenericEventSink::InitCameraEvent(int32_t kind, int32_t result) {
  Emit("InitCameraEvent", kind, result);
}

}  // namespace ocuvant::control
