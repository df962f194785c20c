#include "ocx/event_connection_point.h"

#include "ocx/module.h"
#include "ocx/variant_values.h"

namespace ocuvant::ocx {

namespace {

// Private message of the marshalling window: fire the queued foreign-thread events.
constexpr uint32_t kFireQueued = WM_APP + 0x100;

}  // namespace

class EventConnectionPoint::Bridge final : public control::GenericEventSink {
 public:
  explicit Bridge(EventConnectionPoint* point) : point_(point) {}
  void OnEvent(int32_t dispid, const char*, const std::vector<control::Value>& args) override {
    if (GetCurrentThreadId() == point_->ownerThread_) {
      point_->Fire(dispid, args);
      return;
    }
    {
      std::lock_guard lock(point_->queueMutex_);
      point_->queue_.emplace_back(dispid, args);
    }
    point_->marshal_->Post(kFireQueued);
  }

 private:
  EventConnectionPoint* point_;
};

EventConnectionPoint::EventConnectionPoint(IConnectionPointContainer* container)
    : container_(container), ownerThread_(GetCurrentThreadId()), bridge_(new Bridge(this)) {
  marshal_ = std::make_unique<platform::Window>([this](uint32_t msg, uintptr_t, intptr_t) {
    if (msg == kFireQueued) FireQueued();
    return intptr_t{0};
  });
}

EventConnectionPoint::~EventConnectionPoint() {
  for (auto& [cookie, sink] : sinks_) sink->Release();
}

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventConnectionPoint::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) EventConnectionPoint::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = DIID__DOcuvantEvents;
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (out == nullptr) return E_POINTER;
  *out = container_;
  if (container_ == nullptr) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(DIID__DOcuvantEvents, reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = nextCookie_++;
  sinks_.emplace_back(*cookie, dispatch);
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first == cookie) {
      IDispatch* sink = it->second;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

void EventConnectionPoint::Detach() {
  container_ = nullptr;
  marshal_.reset();
  std::lock_guard lock(queueMutex_);
  queue_.clear();
}

control::EventSink* EventConnectionPoint::Sink() {
  return bridge_.get();
}

void EventConnectionPoint::FireQueued() {
  std::vector<std::pair<int32_t, std::vector<control::Value>>> queued;
  {
    std::lock_guard lock(queueMutex_);
    queued.swap(queue_);
  }
  for (const auto& [dispid, args] : queued) Fire(dispid, args);
}

void EventConnectionPoint::Fire(int32_t dispid, const std::vector<control::Value>& args) {
  if (frozen_ || sinks_.empty()) return;
  // Arguments go right to left in DISPPARAMS.
  std::vector<VARIANTARG> variants(args.size());
  for (size_t i = 0; i < args.size(); ++i) EventArgument(args[i], &variants[args.size() - 1 - i]);
  DISPPARAMS params{variants.data(), nullptr, static_cast<UINT>(variants.size()), 0};
  // A sink may unadvise itself (or another) while it runs: call a held snapshot.
  std::vector<IDispatch*> sinks;
  for (auto& [cookie, sink] : sinks_) {
    sink->AddRef();
    sinks.push_back(sink);
  }
  for (IDispatch* sink : sinks) {
    sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
    sink->Release();
  }
  for (VARIANTARG& v : variants) VariantClear(&v);
}

}  // namespace ocuvant::ocx
