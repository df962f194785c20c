// The connection point of _DOcuvantEvents: any number of IDispatch sinks, and the
// control's event sink that fires to them. Events always reach the sinks on the
// thread that created the control (the host's thread): those fired on another thread
// (LogInfo, PhotoCaptureEvent) are copied and posted to a message-only window there,
// so an apartment-threaded sink is never called from a foreign thread.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "control/events.h"
#include "platform/window.h"
// Windows headers after the control's.
#include <windows.h>
// (these need windows.h first)
#include <ocidl.h>
#include <olectl.h>

namespace ocuvant::ocx {

class EventConnectionPoint final : public IConnectionPoint {
 public:
  explicit EventConnectionPoint(IConnectionPointContainer* container);
  ~EventConnectionPoint();

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  // The container is going away: no more calls into it, no more events.
  void Detach();
  // The control's sink (fires to the advised sinks); lives as long as this point.
  control::EventSink* Sink();
  void SetFrozen(bool frozen) { frozen_ = frozen; }

 private:
  class Bridge;
  void Fire(int32_t dispid, const std::vector<control::Value>& args);
  void FireQueued();

  LONG refs_ = 1;
  IConnectionPointContainer* container_;
  std::vector<std::pair<DWORD, IDispatch*>> sinks_;  // host's thread only
  DWORD nextCookie_ = 1;
  DWORD ownerThread_;
  bool frozen_ = false;
  std::unique_ptr<Bridge> bridge_;
  std::unique_ptr<platform::Window> marshal_;
  std::mutex queueMutex_;
  std::vector<std::pair<int32_t, std::vector<control::Value>>> queue_;
};

}  // namespace ocuvant::ocx
