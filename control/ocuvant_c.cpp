#include "control/ocuvant_c.h"

#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <type_traits>

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

// A C host may store any int in an enumeration field; read it as the int it is.
template <typename E>
std::underlying_type_t<E> RawEnum(const E& e) {
  std::underlying_type_t<E> raw;
  std::memcpy(&raw, &e, sizeof raw);
  return raw;
}

Value FromC(const OcuvantValue& v) {
  switch (RawEnum(v.type)) {
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

// The callback and its user pointer change together: an event on another thread never
// sees one without the other.
class CallbackSink final : public ocuvant::control::GenericEventSink {
 public:
  void Set(OcuvantEventCallback callback, void* user) {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = callback;
    user_ = user;
  }
  void OnEvent(int32_t dispid, const char* name, const std::vector<Value>& args) override {
    OcuvantEventCallback cb = nullptr;
    void* user = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      cb = callback_;
      user = user_;
    }
    if (cb == nullptr) return;
    std::vector<OcuvantValue> c;
    for (const Value& v : args) c.push_back(ToC(v));
    cb(user, dispid, name, c.data(), static_cast<int>(c.size()));
  }

 private:
  std::mutex mutex_;
  OcuvantEventCallback callback_ = nullptr;
  void* user_ = nullptr;
};

constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057u);  // E_INVALIDARG

}  // namespace

struct OcuvantControl {
  CallbackSink sink;
  std::unique_ptr<COcuvantCtrl> control;
};

namespace {

// Checks the arguments, invokes the member `find` names (a name or a DISPID) and
// delivers the result.
template <typename Find>
int32_t InvokeC(OcuvantControl* control, bool named, Find find, OcuvantInvokeKind kind,
                const OcuvantValue* args, int argc, OcuvantValue* result, char* text,
                size_t textSize, char* error, size_t errorSize) {
  using ocuvant::control::InvokeKind;
  if (control == nullptr || !named || (argc > 0 && args == nullptr)) {
    CopyText("null control, name or arguments", error, errorSize);
    return ocuvant::control::E_POINTER;
  }
  const auto rawKind = RawEnum(kind);
  if (argc < 0 || (rawKind != OCUVANT_METHOD && rawKind != OCUVANT_PROPERTY_GET &&
                   rawKind != OCUVANT_PROPERTY_PUT)) {
    CopyText("negative argument count or unknown invoke kind", error, errorSize);
    return kInvalidArg;
  }
  std::vector<Value> values;
  for (int i = 0; i < argc; ++i) values.push_back(FromC(args[i]));
  const InvokeKind k = kind == OCUVANT_PROPERTY_GET   ? InvokeKind::PropertyGet
                       : kind == OCUVANT_PROPERTY_PUT ? InvokeKind::PropertyPut
                                                      : InvokeKind::Method;
  auto r = ocuvant::control::Invoke(*control->control, find, k, values);
  CopyText(r.error, error, errorSize);
  if (result != nullptr) {
    *result = ToC(r.value);
    if (result->type == OCUVANT_STRING) {
      const bool room = text != nullptr && textSize > 0;
      CopyText(std::get<std::string>(r.value), text, textSize);
      result->s = room ? text : nullptr;
    }
  }
  return r.hr;
}

}  // namespace

extern "C" {

OcuvantControl* ocuvant_create(void) {
  try {  // no exception crosses into a C host
    auto h = std::make_unique<OcuvantControl>();
    h->control = COcuvantCtrl::Create();
    h->control->SetEventSink(&h->sink);
    return h.release();
  } catch (const std::exception&) {
    return nullptr;
  }
}

void ocuvant_destroy(OcuvantControl* control) {
  delete control;
}

void ocuvant_set_event_callback(OcuvantControl* control, OcuvantEventCallback callback,
                                void* user) {
  if (control != nullptr) control->sink.Set(callback, user);
}

int32_t ocuvant_invoke(OcuvantControl* control, const char* name, OcuvantInvokeKind kind,
                       const OcuvantValue* args, int argc, OcuvantValue* result, char* text,
                       size_t textSize, char* error, size_t errorSize) {
  return InvokeC(control, name != nullptr, name, kind, args, argc, result, text, textSize, error,
                 errorSize);
}

int32_t ocuvant_invoke_dispid(OcuvantControl* control, int32_t dispid, OcuvantInvokeKind kind,
                              const OcuvantValue* args, int argc, OcuvantValue* result, char* text,
                              size_t textSize, char* error, size_t errorSize) {
  return InvokeC(control, true, dispid, kind, args, argc, result, text, textSize, error, errorSize);
}

void ocuvant_pump(OcuvantControl* control, uint32_t ms) {
  if (control != nullptr) control->control->ControlWindow().Pump(ms);
}

}  // extern "C"
