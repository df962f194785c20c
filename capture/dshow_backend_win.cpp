// The DirectShow capture backend. One source = one filter graph:
//   device filter --(preview or capture pin)--> SampleGrabber (video/RGB24, buffer
//   callback) --> video renderer; a null renderer when no renderer can be made (a
//   process without a display) or its stream will not connect.
// Frames reach the session's FrameSink on the graph's streaming thread, in the
// grabber's own buffer (no copy, no allocation per frame). A watcher thread turns
// EC_DEVICE_LOST and EC_ERRORABORT into FrameSink::StreamFailed, as a V4L2 device
// that goes away does on Linux.
#include "capture/dshow_backend_win.h"

#include <dshow.h>
// (qedit.h needs dshow.h first)
#include <qedit.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_hooks.h"
#include "capture/capture_results.h"
#include "capture/dshow_com_win.h"
#include "capture/picture_window_win.h"
#include "platform/utf16_win.h"

// Defined in libstrmiids.a, not declared by mingw-w64's headers.
EXTERN_C const CLSID CLSID_SampleGrabber;
EXTERN_C const CLSID CLSID_NullRenderer;

namespace ocuvant::capture {
namespace {

using dshow::Com;
using dshow::EnsureComApartment;
using dshow::HresultText;

void FreeMediaType(AM_MEDIA_TYPE* mt) {
  if (mt == nullptr) return;
  if (mt->cbFormat != 0) CoTaskMemFree(mt->pbFormat);
  if (mt->pUnk != nullptr) mt->pUnk->Release();
  mt->cbFormat = 0;
  mt->pbFormat = nullptr;
  mt->pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
  FreeMediaType(mt);
  CoTaskMemFree(mt);
}

const BITMAPINFOHEADER* VideoHeader(const AM_MEDIA_TYPE& mt) {
  if (mt.pbFormat == nullptr) return nullptr;
  if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    return &reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
  }
  return nullptr;
}

bool ReadBagString(IPropertyBag* bag, const wchar_t* name, std::string* out) {
  VARIANT v;
  VariantInit(&v);
  const HRESULT hr = bag->Read(name, &v, nullptr);
  const bool ok = SUCCEEDED(hr) && V_VT(&v) == VT_BSTR;
  if (ok) *out = platform::WideToUtf8(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  VariantClear(&v);
  return ok;
}

// The enumerator of the video input category, reset; empty when there is no device
// (CreateClassEnumerator then answers S_FALSE with no enumerator).
Com<IEnumMoniker> VideoInputMonikers() {
  EnsureComApartment();
  Com<ICreateDevEnum> devices;
  Com<IEnumMoniker> monikers;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, devices.putVoid()))) {
    return monikers;
  }
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK) {
    monikers.Reset();
    return monikers;
  }
  if (monikers) monikers->Reset();
  return monikers;
}

std::string DisplayName(IMoniker* moniker) {
  LPOLESTR name = nullptr;
  std::string out;
  if (SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &name)) && name != nullptr) {
    out = platform::WideToUtf8(name, wcslen(name));
    CoTaskMemFree(name);
  }
  return out;
}

// The locator of a device: its position and moniker display name, "3|@device:...".
std::string Locator(size_t index, IMoniker* moniker) {
  return std::to_string(index) + "|" + DisplayName(moniker);
}

// The moniker a locator names: the one at its position when the name still agrees,
// else the first with that name (the list changed in between), else none.
Com<IMoniker> FindMoniker(const std::string& locator) {
  const size_t bar = locator.find('|');
  if (bar == std::string::npos) return {};
  const size_t index = std::strtoul(locator.substr(0, bar).c_str(), nullptr, 10);
  const std::string name = locator.substr(bar + 1);
  Com<IEnumMoniker> monikers = VideoInputMonikers();
  if (!monikers) return {};
  Com<IMoniker> byName;
  Com<IMoniker> moniker;
  ULONG fetched = 0;
  for (size_t i = 0; monikers->Next(1, moniker.put(), &fetched) == S_OK && fetched == 1; ++i) {
    if (DisplayName(moniker.get()) != name) continue;
    if (i == index) return moniker;
    if (!byName && !name.empty()) byName = moniker;
  }
  return byName;
}

Com<IAMStreamConfig> StreamConfigOf(IBaseFilter* filter) {
  // Without a graph the pins are found by category on a builder of their own.
  Com<ICaptureGraphBuilder2> builder;
  Com<IAMStreamConfig> config;
  if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICaptureGraphBuilder2, builder.putVoid()))) {
    return config;
  }
  if (FAILED(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, filter,
                                    IID_IAMStreamConfig, config.putVoid()))) {
    config.Reset();
  }
  return config;
}

const char* SubtypeName(const GUID& subtype) {
  if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB24)) return "RGB3";
  if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB32)) return "RGB4";
  if (IsEqualGUID(subtype, MEDIASUBTYPE_YUY2)) return "YUYV";
  if (IsEqualGUID(subtype, MEDIASUBTYPE_MJPG)) return "MJPG";
  if (IsEqualGUID(subtype, MEDIASUBTYPE_NV12)) return "NV12";
  return "????";
}

// IAMVideoProcAmp / IAMCameraControl of the device filter behind the capture layer's
// property interfaces (the property numbers and flags are the platform's own).
class ProcAmpAdapter final : public VideoProcAmp {
 public:
  explicit ProcAmpAdapter(Com<IAMVideoProcAmp> amp) : amp_(std::move(amp)) {}
  bool GetRange(ProcAmpProperty property, PropertyRange* r) override {
    long mn = 0, mx = 0, step = 0, def = 0, caps = 0;
    if (FAILED(amp_->GetRange(static_cast<long>(property), &mn, &mx, &step, &def, &caps))) {
      return false;
    }
    *r = {static_cast<int32_t>(mn), static_cast<int32_t>(mx), static_cast<int32_t>(step),
          static_cast<int32_t>(def), static_cast<int32_t>(caps)};
    return true;
  }
  bool Get(ProcAmpProperty property, int32_t* value, int32_t* flags) override {
    long v = 0, f = 0;
    if (FAILED(amp_->Get(static_cast<long>(property), &v, &f))) return false;
    *value = static_cast<int32_t>(v);
    *flags = static_cast<int32_t>(f);
    return true;
  }
  bool Set(ProcAmpProperty property, int32_t value, int32_t flags) override {
    return SUCCEEDED(amp_->Set(static_cast<long>(property), value, flags));
  }

 private:
  Com<IAMVideoProcAmp> amp_;
};

class CameraControlAdapter final : public CameraControl {
 public:
  explicit CameraControlAdapter(Com<IAMCameraControl> control) : control_(std::move(control)) {}
  bool GetRange(CameraControlProperty property, PropertyRange* r) override {
    long mn = 0, mx = 0, step = 0, def = 0, caps = 0;
    if (FAILED(control_->GetRange(static_cast<long>(property), &mn, &mx, &step, &def, &caps))) {
      return false;
    }
    *r = {static_cast<int32_t>(mn), static_cast<int32_t>(mx), static_cast<int32_t>(step),
          static_cast<int32_t>(def), static_cast<int32_t>(caps)};
    return true;
  }
  bool Get(CameraControlProperty property, int32_t* value, int32_t* flags) override {
    long v = 0, f = 0;
    if (FAILED(control_->Get(static_cast<long>(property), &v, &f))) return false;
    *value = static_cast<int32_t>(v);
    *flags = static_cast<int32_t>(f);
    return true;
  }
  bool Set(CameraControlProperty property, int32_t value, int32_t flags) override {
    return SUCCEEDED(control_->Set(static_cast<long>(property), value, flags));
  }

 private:
  Com<IAMCameraControl> control_;
};

// Set on the threads that call into a source's sink (the grabber's streaming thread
// while it is inside the callback, and the event watcher), so that a session closed
// from its own frame handler does not wait for itself.
thread_local const void* t_sinkThreadOf = nullptr;

class DirectShowSource final : public CaptureSource {
 public:
  explicit DirectShowSource(Com<IBaseFilter> filter) : filter_(std::move(filter)) {
    Com<IAMVideoProcAmp> amp;
    if (SUCCEEDED(filter_.As(IID_IAMVideoProcAmp, &amp))) {
      procAmp_ = std::make_unique<ProcAmpAdapter>(std::move(amp));
    }
    Com<IAMCameraControl> control;
    if (SUCCEEDED(filter_.As(IID_IAMCameraControl, &control))) {
      cameraControl_ = std::make_unique<CameraControlAdapter>(std::move(control));
    }
  }
  ~DirectShowSource() override { Stop(); }

  VideoProcAmp* ProcAmp() override { return procAmp_.get(); }
  CameraControl* CameraControls() override { return cameraControl_.get(); }
  void RequireFrameSize(int32_t width, int32_t height) override {
    requiredWidth_ = width;
    requiredHeight_ = height;
  }
  int32_t Connect(int32_t* width, int32_t* height) override;
  bool Start(FrameSink* sink, std::string* error) override;
  void Pause() override;
  void Stop() override;
  bool OnStreamingThread() const override { return t_sinkThreadOf == this; }
  void AttachVideoWindow(const void* owner) override;

 private:
  // The grabber's callback object: forwards each buffer to the session's sink.
  class Callback final : public ISampleGrabberCB {
   public:
    explicit Callback(DirectShowSource* source) : source_(source) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      if (out == nullptr) return E_POINTER;
      if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
        *out = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
      }
      *out = nullptr;
      return E_NOINTERFACE;
    }
    // Owned by the source, which outlives the grabber's use of it.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return S_OK; }
    STDMETHODIMP BufferCB(double sampleTime, BYTE* buffer, long length) override {
      return source_->Deliver(sampleTime, buffer, length);
    }

   private:
    DirectShowSource* source_;
  };

  HRESULT BuildGraph();
  HRESULT ChooseFormat();
  HRESULT RenderThroughGrabber();
  HRESULT Deliver(double sampleTime, BYTE* buffer, long length);
  void WatchEvents();
  void StopWatcher();

  Com<IBaseFilter> filter_;
  std::unique_ptr<ProcAmpAdapter> procAmp_;
  std::unique_ptr<CameraControlAdapter> cameraControl_;
  int32_t requiredWidth_ = 0;
  int32_t requiredHeight_ = 0;

  Com<IGraphBuilder> graph_;
  Com<ICaptureGraphBuilder2> builder_;
  Com<IMediaControl> control_;
  Com<IVideoWindow> window_;
  Com<IMediaEventEx> events_;
  Com<ISampleGrabber> grabber_;
  Com<IBaseFilter> grabberFilter_;
  bool nullRenderer_ = false;
  bool connected_ = false;
  bool running_ = false;
  Callback callback_{this};

  std::atomic<FrameSink*> sink_{nullptr};
  std::atomic<bool> paused_{true};
  HANDLE stopWatch_ = nullptr;
  std::thread watcher_;
};

HRESULT DirectShowSource::BuildGraph() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph_.putVoid());
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC,
                        IID_ICaptureGraphBuilder2, builder_.putVoid());
  if (FAILED(hr)) return hr;
  if (FAILED(hr = builder_->SetFiltergraph(graph_.get()))) return hr;
  if (FAILED(hr = graph_.As(IID_IMediaControl, &control_))) return hr;
  if (FAILED(hr = graph_.As(IID_IVideoWindow, &window_))) return hr;
  if (FAILED(hr = graph_.As(IID_IMediaEventEx, &events_))) return hr;
  return S_OK;
}

// The iris pipeline needs 1920 x 1080: when the device's current format has another
// size, the first offered format of that size is set (any subtype; the graph builder
// converts to RGB24). No requirement: the device's current format stays.
HRESULT DirectShowSource::ChooseFormat() {
  if (requiredWidth_ <= 0 || requiredHeight_ <= 0) return S_OK;
  Com<IAMStreamConfig> config;
  if (FAILED(builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, filter_.get(),
                                     IID_IAMStreamConfig, config.putVoid()))) {
    return S_OK;  // a device without the interface: its stream is checked after connecting
  }
  AM_MEDIA_TYPE* current = nullptr;
  if (SUCCEEDED(config->GetFormat(&current)) && current != nullptr) {
    const BITMAPINFOHEADER* h = VideoHeader(*current);
    const bool fits = h != nullptr && h->biWidth == requiredWidth_ &&
                      (h->biHeight == requiredHeight_ || h->biHeight == -requiredHeight_);
    DeleteMediaType(current);
    if (fits) return S_OK;
  }
  int count = 0, size = 0;
  if (FAILED(config->GetNumberOfCapabilities(&count, &size)) ||
      size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
    return VFW_E_CANNOT_CONNECT;
  }
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK || mt == nullptr) {
      continue;
    }
    const BITMAPINFOHEADER* h = VideoHeader(*mt);
    HRESULT set = E_FAIL;
    if (h != nullptr && h->biWidth == requiredWidth_ &&
        (h->biHeight == requiredHeight_ || h->biHeight == -requiredHeight_)) {
      set = config->SetFormat(mt);
    }
    DeleteMediaType(mt);
    if (SUCCEEDED(set)) return S_OK;
  }
  return VFW_E_CANNOT_CONNECT;
}

// The preview pin first, then the capture pin, each through the grabber to the default
// video renderer; when neither connects (no window can be made), the capture or
// preview stream through the grabber to a null renderer.
HRESULT DirectShowSource::RenderThroughGrabber() {
  IBaseFilter* src = filter_.get();
  IBaseFilter* grab = grabberFilter_.get();
  HRESULT hr = builder_->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, src, grab, nullptr);
  if (SUCCEEDED(hr)) return hr;
  HRESULT capture =
      builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, src, grab, nullptr);
  if (SUCCEEDED(capture)) return capture;
  // A failed attempt may leave a renderer or converter behind: the grabber's output is
  // cleared before the null renderer takes it.
  Com<IBaseFilter> sink;
  HRESULT made = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IBaseFilter, sink.putVoid());
  if (FAILED(made)) return hr;
  if (FAILED(made = graph_->AddFilter(sink.get(), L"Null Renderer"))) return made;
  HRESULT viaNull =
      builder_->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, src, grab, sink.get());
  if (FAILED(viaNull)) {
    viaNull =
        builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, src, grab, sink.get());
  }
  if (FAILED(viaNull)) return hr;
  nullRenderer_ = true;
  char text[160];
  std::snprintf(text, sizeof text,
                "no video renderer (%s): frames go to a null renderer, no live picture",
                HresultText(hr).c_str());
  LogIfEnabled(text, "capture");
  return viaNull;
}

int32_t DirectShowSource::Connect(int32_t* width, int32_t* height) {
  EnsureComApartment();
  if (connected_) {
    AM_MEDIA_TYPE mt{};
    if (FAILED(grabber_->GetConnectedMediaType(&mt))) return kCaptureErrorFail;
    const BITMAPINFOHEADER* h = VideoHeader(mt);
    *width = h != nullptr ? h->biWidth : 0;
    *height = h != nullptr ? h->biHeight : 0;
    FreeMediaType(&mt);
    return kCaptureOk;
  }
  HRESULT hr = BuildGraph();
  if (FAILED(hr)) return static_cast<int32_t>(hr);
  if (FAILED(hr = graph_->AddFilter(filter_.get(), L"Capture Filter"))) {
    return static_cast<int32_t>(hr);
  }
  if (FAILED(hr = ChooseFormat())) return static_cast<int32_t>(hr);
  hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_ISampleGrabber,
                        grabber_.putVoid());
  if (FAILED(hr)) return static_cast<int32_t>(hr);
  if (FAILED(hr = grabber_.As(IID_IBaseFilter, &grabberFilter_))) return static_cast<int32_t>(hr);
  AM_MEDIA_TYPE want{};
  want.majortype = MEDIATYPE_Video;
  want.subtype = MEDIASUBTYPE_RGB24;
  if (FAILED(hr = grabber_->SetMediaType(&want))) return static_cast<int32_t>(hr);
  if (FAILED(hr = graph_->AddFilter(grabberFilter_.get(), L"Grabber"))) {
    return static_cast<int32_t>(hr);
  }
  if (FAILED(hr = RenderThroughGrabber())) return static_cast<int32_t>(hr);
  AM_MEDIA_TYPE mt{};
  if (FAILED(hr = grabber_->GetConnectedMediaType(&mt))) return static_cast<int32_t>(hr);
  const BITMAPINFOHEADER* h = VideoHeader(mt);
  const int32_t w = h != nullptr ? h->biWidth : 0;
  const int32_t ht = h != nullptr ? h->biHeight : 0;
  FreeMediaType(&mt);
  if (requiredWidth_ > 0 && (w != requiredWidth_ || ht != requiredHeight_)) {
    return kCaptureErrorCannotConnect;
  }
  grabber_->SetBufferSamples(FALSE);
  grabber_->SetOneShot(FALSE);
  if (FAILED(hr = grabber_->SetCallback(&callback_, 1))) return static_cast<int32_t>(hr);
  // The picture stays hidden until a window owns it (AttachVideoWindow).
  if (!nullRenderer_) {
    window_->put_AutoShow(OAFALSE);
    window_->put_Visible(OAFALSE);
  }
  connected_ = true;
  *width = w;
  *height = ht;
  return kCaptureOk;
}

void DirectShowSource::AttachVideoWindow(const void* owner) {
  if (!connected_ || nullRenderer_ || !window_) return;
  EnsureComApartment();
  const HWND hwnd = PictureWindow(owner);
  if (hwnd == nullptr) {  // a session whose picture is not shown (headless, background)
    window_->put_Visible(OAFALSE);
    window_->put_AutoShow(OAFALSE);
    window_->put_Owner(reinterpret_cast<OAHWND>(nullptr));
    return;
  }
  if (FAILED(window_->put_Owner(reinterpret_cast<OAHWND>(hwnd)))) return;
  if (FAILED(window_->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN))) return;
  RECT client{};
  GetClientRect(hwnd, &client);
  window_->SetWindowPosition(0, 0, client.right - client.left, client.bottom - client.top);
  window_->put_AutoShow(OATRUE);  // the renderer shows it when the graph runs
  window_->put_Visible(running_ ? OATRUE : OAFALSE);
  char text[96];
  std::snprintf(text, sizeof text, "live picture in window %p (%ldx%ld)", static_cast<void*>(hwnd),
                static_cast<long>(client.right - client.left),
                static_cast<long>(client.bottom - client.top));
  LogIfEnabled(text, "capture");
}

bool DirectShowSource::Start(FrameSink* sink, std::string* error) {
  if (!connected_ || !control_) return false;
  EnsureComApartment();
  sink_.store(sink, std::memory_order_release);
  HRESULT hr = control_->Run();
  if (SUCCEEDED(hr)) {
    // A graph may finish the transition after Run returned (S_FALSE; Wine's graph
    // always does), and a filter that fails then reports it here.
    OAFilterState state = State_Stopped;
    const HRESULT settled = control_->GetState(2000, &state);
    if (FAILED(settled)) {
      hr = settled;
    } else if (settled == S_OK && state != State_Running) {
      hr = E_FAIL;
    }
  }
  if (FAILED(hr)) {
    char text[96];
    std::snprintf(text, sizeof text, "IMediaControl::Run failed: %s", HresultText(hr).c_str());
    LogIfEnabled(text, "capture");
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
      BSTR description = nullptr;
      if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr && error) {
        *error = platform::WideToUtf8(description, SysStringLen(description));
      }
      SysFreeString(description);
      info->Release();
    }
    control_->Stop();
    return false;
  }
  running_ = true;
  paused_.store(false, std::memory_order_release);
  if (!watcher_.joinable()) {
    stopWatch_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watcher_ = std::thread([this] { WatchEvents(); });
  }
  return true;
}

void DirectShowSource::Pause() {
  paused_.store(true, std::memory_order_release);
  // From the sink's own thread the graph cannot change state (it would wait for this
  // very callback); the flag alone stops the frames there.
  if (OnStreamingThread() || !control_ || !running_) return;
  EnsureComApartment();
  control_->Pause();
}

void DirectShowSource::StopWatcher() {
  if (!watcher_.joinable()) return;
  SetEvent(stopWatch_);
  watcher_.join();
  CloseHandle(stopWatch_);
  stopWatch_ = nullptr;
}

void DirectShowSource::Stop() {
  paused_.store(true, std::memory_order_release);
  sink_.store(nullptr, std::memory_order_release);
  EnsureComApartment();
  StopWatcher();
  if (control_) control_->Stop();  // waits for a callback in progress to return
  if (window_ && connected_ && !nullRenderer_) {
    window_->put_Visible(OAFALSE);
    window_->put_Owner(reinterpret_cast<OAHWND>(nullptr));
  }
  if (grabber_) grabber_->SetCallback(nullptr, 1);
  running_ = false;
  connected_ = false;
  control_.Reset();
  window_.Reset();
  events_.Reset();
  grabberFilter_.Reset();
  grabber_.Reset();
  builder_.Reset();
  graph_.Reset();
}

HRESULT DirectShowSource::Deliver(double sampleTime, BYTE* buffer, long length) {
  if (paused_.load(std::memory_order_acquire)) return S_OK;
  FrameSink* sink = sink_.load(std::memory_order_acquire);
  if (sink == nullptr) return S_OK;
  const void* outer = t_sinkThreadOf;
  t_sinkThreadOf = this;
  sink->BufferCB(sampleTime, buffer, length);
  t_sinkThreadOf = outer;
  return S_OK;
}

// Graph events of a running source: a device that goes away (EC_DEVICE_LOST with 0:
// removed) or a stream that aborts ends the session like a V4L2 device that fails.
void DirectShowSource::WatchEvents() {
  EnsureComApartment();
  t_sinkThreadOf = this;
  HANDLE graphEvent = nullptr;
  if (!events_ || FAILED(events_->GetEventHandle(reinterpret_cast<OAEVENT*>(&graphEvent)))) {
    return;
  }
  const HANDLE handles[2] = {stopWatch_, graphEvent};
  bool failed = false;
  while (!failed && WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (!failed && events_->GetEvent(&code, &p1, &p2, 0) == S_OK) {
      char reason[64] = {};
      if (code == EC_DEVICE_LOST && p2 == 0) {
        std::snprintf(reason, sizeof reason, "EC_DEVICE_LOST");
      } else if (code == EC_ERRORABORT) {
        std::snprintf(reason, sizeof reason, "EC_ERRORABORT %s",
                      HresultText(static_cast<HRESULT>(p1)).c_str());
      }
      events_->FreeEventParams(code, p1, p2);
      if (reason[0] == '\0') continue;
      failed = true;
      FrameSink* sink = sink_.load(std::memory_order_acquire);
      if (sink != nullptr && !paused_.load(std::memory_order_acquire)) {
        paused_.store(true, std::memory_order_release);
        sink->StreamFailed(reason);
      }
    }
  }
}

}  // namespace

void DirectShowBackend::Enumerate(const std::shared_ptr<CaptureBackend>& self,
                                  std::vector<DeviceDescriptor>* out) {
  Com<IEnumMoniker> monikers = VideoInputMonikers();
  if (!monikers) return;
  Com<IMoniker> moniker;
  ULONG fetched = 0;
  for (size_t i = 0; monikers->Next(1, moniker.put(), &fetched) == S_OK && fetched == 1; ++i) {
    DeviceDescriptor d;
    d.backend = self;
    d.locator = Locator(i, moniker.get());
    Com<IPropertyBag> bag;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()))) {
      d.hasFriendlyName = ReadBagString(bag.get(), L"FriendlyName", &d.friendlyName);
      d.hasDevicePath = ReadBagString(bag.get(), L"DevicePath", &d.devicePath);
    }
    out->push_back(std::move(d));
  }
}

std::unique_ptr<CaptureSource> DirectShowBackend::Bind(const DeviceDescriptor& device) {
  Com<IMoniker> moniker = FindMoniker(device.locator);
  if (!moniker) return nullptr;
  Com<IBaseFilter> filter;
  if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid()))) {
    return nullptr;
  }
  return std::make_unique<DirectShowSource>(std::move(filter));
}

std::vector<std::string> DirectShowBackend::DescribeModes(const DeviceDescriptor& device) {
  std::vector<std::string> out;
  Com<IMoniker> moniker = FindMoniker(device.locator);
  Com<IBaseFilter> filter;
  if (!moniker ||
      FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid()))) {
    return out;
  }
  Com<IAMStreamConfig> config = StreamConfigOf(filter.get());
  if (!config) return out;
  int count = 0, size = 0;
  if (FAILED(config->GetNumberOfCapabilities(&count, &size)) ||
      size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
    return out;
  }
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK || mt == nullptr) {
      continue;
    }
    const BITMAPINFOHEADER* h = VideoHeader(*mt);
    if (h != nullptr) {
      const double fps =
          caps.MinFrameInterval > 0 ? 1e7 / static_cast<double>(caps.MinFrameInterval) : 0;
      char text[64];
      std::snprintf(text, sizeof text, "%s %ldx%ld %.0ffps%s", SubtypeName(mt->subtype),
                    static_cast<long>(h->biWidth), static_cast<long>(h->biHeight), fps,
                    h->biWidth == 1920 && h->biHeight == 1080 ? " *" : "");
      out.push_back(text);
    }
    DeleteMediaType(mt);
  }
  return out;
}

namespace dshow {

void EnsureComApartment() {
  // CoIncrementMTAUsage (Windows 8 and Wine) keeps the multithreaded apartment for the
  // whole process: threads that never initialised COM then belong to it. Where it is
  // missing, each such thread joins the apartment itself, once.
  static const bool processWide = [] {
    using Increment = HRESULT(WINAPI*)(void**);
    HMODULE ole = GetModuleHandleW(L"ole32.dll");
    auto increment = ole != nullptr ? reinterpret_cast<Increment>(reinterpret_cast<void*>(
                                          GetProcAddress(ole, "CoIncrementMTAUsage")))
                                    : nullptr;
    void* cookie = nullptr;
    return increment != nullptr && SUCCEEDED(increment(&cookie));
  }();
  if (processWide) return;
  thread_local const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  (void)joined;  // RPC_E_CHANGED_MODE: the thread has an apartment of its own already
}

std::string HresultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace dshow
}  // namespace ocuvant::capture
