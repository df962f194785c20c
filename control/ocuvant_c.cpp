#include "control/ocuvant_c.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "control/invoke.h"
#include "control/ocuvant_ctrl.h"

namespace {

using ocuvant::control::COcuvantCtrl;
using ocuvant::control::Value;

OcuvantValue ToC(const Value& v) {
  OcuvantValue out{OCUVANT_VOID, 0, nullptr, nullptr};
  if (auto* i = std::get_if<int32_t>(&v)) out = {OCUVANT_INT32, *i, nullptr, nullptr};
  if (auto* s = std::get_if<std::string>(&v)) out = {OCUVANT_STRING, 0, s->c_str(), nullptr};
  if (auto* p = std::get_if<const int32_t*>(&v)) out = {OCUVANT_INT32_PTR, 0, nullptr, *p};
  return out;
}

Value FromC(const OcuvantValue& v) {
  switch (v.type) {
    case OCUVANT_INT32:
      return v.i;
    case OCUVANT_STRING:
      return std::string(v.s ? v.s : "");
    case OCUVANT_INT32_PTR:
      return v.p;
    default:
      return Value{};
  }
}

void CopyText(const std::string& text, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

class CallbackSink final : public ocuvant::control::GenericEventSink {
 public:
  std::atomic<OcuvantEventCallback> callback{nullptr};
  std::atomic<void*> user{nullptr};
  void OnEvent(int32_t dispid, const char* name, const std::vector<Value>& args) override {
    OcuvantEventCallback cb = callback.load();
    if (cb == nullptr) return;
    std::vector<OcuvantValue> c;
    for (const Value& v : args) c.push_back(ToC(v));
    cb(user.load(), dispid, name, c.data(), static_cast<int>(c.size()));
  }
};

}  // namespace

struct OcuvantControl {
  CallbackSink sink;
  std::unique_ptr<COcuvantCtrl> control;
  std::string text;
};

extern "C" {

OcuvantControl* ocuvant_create(void) {
  auto* h = new OcuvantControl;
  h->control = COcuvantCtrl::Create();
  h->control->SetEventSink(&h->sink);
  return h;
}

void ocuvant_destroy(OcuvantControl* control) {
  delete control;
}

void ocuvant_set_event_callback(OcuvantControl* control, OcuvantEventCallback callback,
                                void* user) {
  if (control == nullptr) return;
  control->sink.user = user;
  control->sink.callback = callback;
}

int32_t ocuvant_invoke(OcuvantControl* control, const char* name, OcuvantInvokeKind kind,
                       const OcuvantValue* args, int argc, OcuvantValue* result, char* text,
                       size_t textSize, char* error, size_t errorSize) {
  using ocuvant::control::InvokeKind;
  if (control == nullptr || name == nullptr || (argc > 0 && args == nullptr) || argc < 0) {
    CopyText("null control, name or arguments", error, errorSize);
    return ocuvant::control::E_POINTER;
  }
  std::vector<Value> values;
  for (int i = 0; i < argc; ++i) values.push_back(FromC(args[i]));
  const InvokeKind k = kind == OCUVANT_PROPERTY_GET   ? InvokeKind::PropertyGet
                       : kind == OCUVANT_PROPERTY_PUT ? InvokeKind::PropertyPut
                                                      : InvokeKind::Method;
  auto r = ocuvant::control::Invoke(*control->control, name, k, values);
  CopyText(r.error, error, errorSize);
  if (result != nullptr) {
    *result = ToC(r.value);
    if (result->type == OCUVANT_STRING) {
      CopyText(std::get<std::string>(r.value), text, textSize);
      result->s = text;
    }
  }
  return r.hr;
}

void ocuvant_pump(OcuvantControl* control, uint32_t ms) {
  if (control != nullptr) control->control->ControlWindow().Pump(ms);
}

}  // extern "C"
