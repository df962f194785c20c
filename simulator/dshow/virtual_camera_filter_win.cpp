// The simulator's cameras as DirectShow live source filters: one class per camera
// (iris, visible light, infrared), registered in the video input device category with
// the friendly names and device paths of the simulator's camera list. Each filter has
// one output pin (PIN_CATEGORY_CAPTURE through IKsPropertySet, IAMStreamConfig with the
// camera's one RGB24 format) and answers IAMVideoProcAmp and IAMCameraControl with the
// virtual camera's settings. The frames are the simulator's: its stream thread renders
// a frame, the pin copies it into a sample of the downstream allocator and delivers it.
// An unplugged camera (script step "unplugged") reports EC_DEVICE_LOST to the graph.
//
// Environment of the host process (read when a filter is created):
//   OCUVANT_VCAM_SUBJECT=N   the simulated person (default 1)
//   OCUVANT_VCAM_SCRIPT=...  what the person does (see virtual_camera_script.h)
//   OCUVANT_VCAM_REPLAY=DIR  the iris camera replays recorded frames
//   OCUVANT_VCAM_FACE=...    the infrared camera shows this face script (face_scene.h)
//                            instead of the portrait scene
//   OCUVANT_VCAM_FAULT=connect|run  the pin refuses every connection / the filter will
//                            not run (for the control's failure paths)
#include <windows.h>
// (after windows.h)
#include <dshow.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/utf16_win.h"
#include "simulator/dshow/illuminator_link_win.h"
#include "simulator/virtual_camera_backend.h"

namespace ocuvant::simulator::dshow {
namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};

struct CameraClass {
  CLSID clsid;
  VirtualCamera camera;
  const wchar_t* name;
  const char* path;
};

// {5C3A0E71-8B24-4D6F-A913-2E7B04C1D801} and the two following.
const CameraClass kClasses[] = {
    {{0x5c3a0e71, 0x8b24, 0x4d6f, {0xa9, 0x13, 0x2e, 0x7b, 0x04, 0xc1, 0xd8, 0x01}},
     VirtualCamera::Iris,
     L"Virtual Iris Camera",
     kVirtualIrisCameraPath},
    {{0x5c3a0e71, 0x8b24, 0x4d6f, {0xa9, 0x13, 0x2e, 0x7b, 0x04, 0xc1, 0xd8, 0x02}},
     VirtualCamera::Visible,
     L"Virtual Visible Camera",
     kVirtualVisibleCameraPath},
    {{0x5c3a0e71, 0x8b24, 0x4d6f, {0xa9, 0x13, 0x2e, 0x7b, 0x04, 0xc1, 0xd8, 0x03}},
     VirtualCamera::Infrared,
     L"Virtual Infrared Camera",
     kVirtualInfraredCameraPath},
};

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// The fill light of the control's virtual illuminator when one is driven in this
// process; otherwise the light is taken as on (a real illuminator lights the eyes).
bool FillLightOn() {
  static const FillLightFunction published = PublishedFillLight();
  return published == nullptr || published() != 0;
}

// One backend for the process: the settings of a camera persist across its filters
// as a device's do, and the simulated person is built once.
std::shared_ptr<VirtualCameraBackend> Backend() {
  static std::mutex mutex;
  static std::shared_ptr<VirtualCameraBackend> backend;
  std::lock_guard<std::mutex> lock(mutex);
  if (!backend) {
    VirtualCameraConfig config;
    const std::string subject = Env("OCUVANT_VCAM_SUBJECT");
    if (!subject.empty()) config.subjectSeed = std::strtoull(subject.c_str(), nullptr, 10);
    config.script = Env("OCUVANT_VCAM_SCRIPT");
    config.replayDirectory = Env("OCUVANT_VCAM_REPLAY");
    config.faceScript = Env("OCUVANT_VCAM_FACE");
    config.illuminatorOn = [] { return FillLightOn(); };
    backend = std::make_shared<VirtualCameraBackend>(config);
  }
  return backend;
}

void FreeMediaType(AM_MEDIA_TYPE* mt) {
  if (mt->cbFormat != 0) CoTaskMemFree(mt->pbFormat);
  if (mt->pUnk != nullptr) mt->pUnk->Release();
  std::memset(mt, 0, sizeof *mt);
}

// RGB24, bottom-up, width x height at the simulator's 30 frames per second.
bool MakeMediaType(int32_t width, int32_t height, AM_MEDIA_TYPE* mt) {
  std::memset(mt, 0, sizeof *mt);
  auto* v = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
  if (v == nullptr) return false;
  std::memset(v, 0, sizeof *v);
  const DWORD bytes = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 3;
  v->AvgTimePerFrame = 10000000 / 30;
  v->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  v->bmiHeader.biWidth = width;
  v->bmiHeader.biHeight = height;
  v->bmiHeader.biPlanes = 1;
  v->bmiHeader.biBitCount = 24;
  v->bmiHeader.biCompression = BI_RGB;
  v->bmiHeader.biSizeImage = bytes;
  mt->majortype = MEDIATYPE_Video;
  mt->subtype = MEDIASUBTYPE_RGB24;
  mt->bFixedSizeSamples = TRUE;
  mt->lSampleSize = bytes;
  mt->formattype = FORMAT_VideoInfo;
  mt->cbFormat = sizeof(VIDEOINFOHEADER);
  mt->pbFormat = reinterpret_cast<BYTE*>(v);
  return true;
}

AM_MEDIA_TYPE* NewMediaType(int32_t width, int32_t height) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (mt != nullptr && !MakeMediaType(width, height, mt)) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

bool Acceptable(const AM_MEDIA_TYPE* mt, int32_t width, int32_t height) {
  if (mt == nullptr) return false;
  if (!IsEqualGUID(mt->majortype, GUID_NULL) && !IsEqualGUID(mt->majortype, MEDIATYPE_Video)) {
    return false;
  }
  if (!IsEqualGUID(mt->subtype, GUID_NULL) && !IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB24)) {
    return false;
  }
  if (IsEqualGUID(mt->formattype, FORMAT_VideoInfo) && mt->pbFormat != nullptr &&
      mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
    const auto* v = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
    if (v->bmiHeader.biWidth != width || v->bmiHeader.biHeight != height) return false;
  }
  return true;
}

template <class Interface, class Item, class Derived>
class Enumerator : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG r = InterlockedDecrement(&refs_);
    if (r == 0) delete static_cast<Derived*>(this);
    return r;
  }
  STDMETHODIMP Next(ULONG n, Item** out, ULONG* fetched) override {
    if (out == nullptr) return E_POINTER;
    ULONG k = 0;
    while (k < n && pos_ < 1) {
      out[k] = static_cast<Derived*>(this)->Make();
      if (out[k] == nullptr) break;
      ++k;
      ++pos_;
    }
    if (fetched != nullptr) *fetched = k;
    return k == n ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG n) override {
    pos_ += n;
    return pos_ <= 1 ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    pos_ = 0;
    return S_OK;
  }

 protected:
  virtual ~Enumerator() = default;
  LONG refs_ = 1;
  ULONG pos_ = 0;
};

class MediaTypes final : public Enumerator<IEnumMediaTypes, AM_MEDIA_TYPE, MediaTypes> {
 public:
  MediaTypes(int32_t width, int32_t height, ULONG pos) : width_(width), height_(height) {
    pos_ = pos;
  }
  AM_MEDIA_TYPE* Make() { return NewMediaType(width_, height_); }
  STDMETHODIMP Clone(IEnumMediaTypes** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new MediaTypes(width_, height_, pos_);
    return S_OK;
  }

 private:
  int32_t width_, height_;
};

class Filter;

class Pin final : public IPin,
                  public IKsPropertySet,
                  public IAMStreamConfig,
                  public capture::FrameSink {
 public:
  Pin(Filter* filter, int32_t width, int32_t height, bool refuse)
      : filter_(filter), width_(width), height_(height), refuseConnections_(refuse) {}
  ~Pin() override { Disconnect(); }

  // IUnknown: the filter's count.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin
  STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* mt) override;
  STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  STDMETHODIMP Disconnect() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (peer_ == nullptr && input_ == nullptr) return S_FALSE;
    if (allocator_ != nullptr) std::exchange(allocator_, nullptr)->Release();
    if (input_ != nullptr) std::exchange(input_, nullptr)->Release();
    if (peer_ != nullptr) std::exchange(peer_, nullptr)->Release();
    return S_OK;
  }
  STDMETHODIMP ConnectedTo(IPin** out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (out == nullptr) return E_POINTER;
    *out = peer_;
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
  }
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override {
    if (mt == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    if (peer_ == nullptr) {
      std::memset(mt, 0, sizeof *mt);
      return VFW_E_NOT_CONNECTED;
    }
    return MakeMediaType(width_, height_, mt) ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override {
    if (dir == nullptr) return E_POINTER;
    *dir = PINDIR_OUTPUT;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR* id) override {
    if (id == nullptr) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(L"Capture")));
    if (*id == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*id, L"Capture", sizeof(L"Capture"));
    return S_OK;
  }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override {
    return Acceptable(mt, width_, height_) ? S_OK : S_FALSE;
  }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new MediaTypes(width_, height_, 0);
    return S_OK;
  }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
  STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IKsPropertySet: the capture graph builder finds the capture pin by its category.
  STDMETHODIMP Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD size,
                   DWORD* returned) override {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (returned != nullptr) *returned = sizeof(GUID);
    if (data == nullptr) return S_OK;
    if (size < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
    return S_OK;
  }
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
  }

  // IAMStreamConfig: the camera's one format.
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* mt) override {
    return Acceptable(mt, width_, height_) ? S_OK : VFW_E_INVALIDMEDIATYPE;
  }
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** out) override {
    if (out == nullptr) return E_POINTER;
    *out = NewMediaType(width_, height_);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override {
    if (count == nullptr || size == nullptr) return E_POINTER;
    *count = 1;
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** out, BYTE* data) override {
    if (out == nullptr || data == nullptr) return E_POINTER;
    if (index != 0) return S_FALSE;
    if (FAILED(GetFormat(out))) return E_OUTOFMEMORY;
    auto* c = reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(data);
    std::memset(c, 0, sizeof *c);
    c->guid = FORMAT_VideoInfo;
    c->InputSize = c->MinCroppingSize = c->MaxCroppingSize = c->MinOutputSize = c->MaxOutputSize =
        SIZE{width_, height_};
    c->MinFrameInterval = c->MaxFrameInterval = 10000000 / 30;
    c->MinBitsPerSecond = c->MaxBitsPerSecond = width_ * height_ * 24 * 30;
    return S_OK;
  }

  // capture::FrameSink: the simulator's stream thread.
  int32_t BufferCB(double sampleTime, uint8_t* buffer, long length) override;
  void StreamFailed(const char* reason) override;

  // Filter state changes (the filter's lock held).
  bool Commit() {
    std::lock_guard<std::mutex> lock(mutex_);
    return allocator_ != nullptr && SUCCEEDED(allocator_->Commit());
  }
  void Decommit() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (allocator_ != nullptr) allocator_->Decommit();  // unblocks a waiting GetBuffer
  }
  std::atomic<bool> running{false};

 private:
  Filter* filter_;
  const int32_t width_, height_;
  const bool refuseConnections_;
  std::mutex mutex_;  // the connection; never held while a sample is delivered
  IPin* peer_ = nullptr;
  IMemInputPin* input_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  REFERENCE_TIME streamStart_ = 0;
};

class Filter final : public IBaseFilter, public IAMFilterMiscFlags {
 public:
  explicit Filter(const CameraClass& cls)
      : class_(cls), backend_(Backend()), controls_(backend_->Controls(cls.camera)) {
    ++g_objects;
    name_[0] = L'\0';
    const std::string fault = Env("OCUVANT_VCAM_FAULT");
    failRun_ = fault == "run";
    capture::DeviceDescriptor device;
    std::vector<capture::DeviceDescriptor> all;
    backend_->Enumerate(backend_, &all);
    int32_t w = 0, h = 0;
    const auto index = static_cast<size_t>(cls.camera);
    if (index < all.size()) source_ = backend_->Bind(all[index]);
    if (source_ && source_->Connect(&w, &h) != 0) source_.reset();
    pin_ = std::make_unique<Pin>(this, w, h, fault == "connect" || !source_);
  }
  ~Filter() {
    Stop();
    pin_.reset();
    if (clock_ != nullptr) clock_->Release();
    --g_objects;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBaseFilter) ||
        IsEqualIID(iid, IID_IMediaFilter) || IsEqualIID(iid, IID_IPersist)) {
      *out = static_cast<IBaseFilter*>(this);
    } else if (IsEqualIID(iid, IID_IAMFilterMiscFlags)) {
      *out = static_cast<IAMFilterMiscFlags*>(this);
    } else if (IsEqualIID(iid, IID_IAMVideoProcAmp)) {
      *out = static_cast<IAMVideoProcAmp*>(&procAmp_);
    } else if (IsEqualIID(iid, IID_IAMCameraControl)) {
      *out = static_cast<IAMCameraControl*>(&cameraControl_);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG r = InterlockedDecrement(&refs_);
    if (r == 0) delete this;
    return r;
  }
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = class_.clsid;
    return S_OK;
  }

  // States: Stopped -> Paused (allocator committed, simulator stream started, frames
  // held back) -> Running (frames delivered); Stop ends the stream thread.
  STDMETHODIMP Stop() override {
    std::lock_guard<std::recursive_mutex> lock(stateMutex_);
    pin_->running = false;
    pin_->Decommit();
    if (source_) source_->Stop();
    state_ = State_Stopped;
    return S_OK;
  }
  STDMETHODIMP Pause() override {
    std::lock_guard<std::recursive_mutex> lock(stateMutex_);
    if (failRun_) return E_FAIL;  // the graph pauses its filters before it runs them
    if (state_ == State_Stopped) {
      if (!source_ || !pin_->Commit()) return VFW_E_NOT_CONNECTED;
      std::string error;
      if (!source_->Start(pin_.get(), &error)) return E_FAIL;
    }
    pin_->running = false;
    state_ = State_Paused;
    return S_OK;
  }
  STDMETHODIMP Run(REFERENCE_TIME start) override {
    std::lock_guard<std::recursive_mutex> lock(stateMutex_);
    if (failRun_) return E_FAIL;
    if (state_ == State_Stopped) {
      const HRESULT hr = Pause();
      if (FAILED(hr)) return hr;
    }
    runStart_ = start;
    pin_->running = true;
    state_ = State_Running;
    return S_OK;
  }
  STDMETHODIMP GetState(DWORD, FILTER_STATE* state) override {
    if (state == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(stateMutex_);
    *state = state_;
    return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;  // a live source
  }
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override {
    std::lock_guard<std::recursive_mutex> lock(stateMutex_);
    if (clock != nullptr) clock->AddRef();
    if (clock_ != nullptr) clock_->Release();
    clock_ = clock;
    return S_OK;
  }
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override {
    if (clock == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(stateMutex_);
    *clock = clock_;
    if (clock_ != nullptr) clock_->AddRef();
    return S_OK;
  }
  STDMETHODIMP EnumPins(IEnumPins** out) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** out) override {
    if (id == nullptr || out == nullptr) return E_POINTER;
    if (std::wcscmp(id, L"Capture") != 0) {
      *out = nullptr;
      return VFW_E_NOT_FOUND;
    }
    *out = pin_.get();
    AddRef();
    return S_OK;
  }
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override {
    if (info == nullptr) return E_POINTER;
    std::memcpy(info->achName, name_, sizeof name_);
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
  }
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    graph_ = graph;  // not counted: the graph owns the filter
    lstrcpynW(name_, name != nullptr ? name : L"", MAX_FILTER_NAME);
    return S_OK;
  }
  STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

  HRESULT ProcAmpSet(long property, long value, long flags) {
    return controls_.Set(static_cast<capture::ProcAmpProperty>(property), value, flags)
               ? S_OK
               : E_INVALIDARG;
  }
  HRESULT ProcAmpGet(long property, long* value, long* flags) {
    if (value == nullptr || flags == nullptr) return E_POINTER;
    int32_t v = 0, f = 0;
    if (!controls_.Get(static_cast<capture::ProcAmpProperty>(property), &v, &f)) {
      return E_PROP_ID_UNSUPPORTED;
    }
    *value = v;
    *flags = f;
    return S_OK;
  }
  HRESULT ProcAmpRange(long property, long* mn, long* mx, long* step, long* def, long* caps) {
    if (!mn || !mx || !step || !def || !caps) return E_POINTER;
    capture::PropertyRange r;
    if (!controls_.GetRange(static_cast<capture::ProcAmpProperty>(property), &r)) {
      return E_PROP_ID_UNSUPPORTED;
    }
    *mn = r.minimum, *mx = r.maximum, *step = r.step, *def = r.defaultValue, *caps = r.capsFlags;
    return S_OK;
  }
  HRESULT CameraRange(long property, long* mn, long* mx, long* step, long* def, long* caps) {
    if (!mn || !mx || !step || !def || !caps) return E_POINTER;
    capture::PropertyRange r;
    if (!controls_.GetRange(static_cast<capture::CameraControlProperty>(property), &r)) {
      return E_PROP_ID_UNSUPPORTED;
    }
    *mn = r.minimum, *mx = r.maximum, *step = r.step, *def = r.defaultValue, *caps = r.capsFlags;
    return S_OK;
  }
  HRESULT CameraSet(long property, long value, long flags) {
    return controls_.Set(static_cast<capture::CameraControlProperty>(property), value, flags)
               ? S_OK
               : E_INVALIDARG;
  }
  HRESULT CameraGet(long property, long* value, long* flags) {
    if (value == nullptr || flags == nullptr) return E_POINTER;
    int32_t v = 0, f = 0;
    if (!controls_.Get(static_cast<capture::CameraControlProperty>(property), &v, &f)) {
      return E_PROP_ID_UNSUPPORTED;
    }
    *value = v;
    *flags = f;
    return S_OK;
  }

  // IAMVideoProcAmp and IAMCameraControl have methods of the same names and
  // signatures: each is an object of its own that shares the filter's count.
  class ProcAmpPart final : public IAMVideoProcAmp {
   public:
    explicit ProcAmpPart(Filter* f) : f_(f) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      return f_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return f_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return f_->Release(); }
    STDMETHODIMP GetRange(long p, long* mn, long* mx, long* st, long* df, long* caps) override {
      return f_->ProcAmpRange(p, mn, mx, st, df, caps);
    }
    STDMETHODIMP Set(long p, long value, long flags) override {
      return f_->ProcAmpSet(p, value, flags);
    }
    STDMETHODIMP Get(long p, long* value, long* flags) override {
      return f_->ProcAmpGet(p, value, flags);
    }

   private:
    Filter* f_;
  };
  class CameraControlPart final : public IAMCameraControl {
   public:
    explicit CameraControlPart(Filter* f) : f_(f) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      return f_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return f_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return f_->Release(); }
    STDMETHODIMP GetRange(long p, long* mn, long* mx, long* st, long* df, long* caps) override {
      return f_->CameraRange(p, mn, mx, st, df, caps);
    }
    STDMETHODIMP Set(long p, long value, long flags) override {
      return f_->CameraSet(p, value, flags);
    }
    STDMETHODIMP Get(long p, long* value, long* flags) override {
      return f_->CameraGet(p, value, flags);
    }

   private:
    Filter* f_;
  };

  Pin* pin() { return pin_.get(); }
  IBaseFilter* AsFilter() { return this; }
  // Tells the graph that the device went away (on the simulator's stream thread).
  void NotifyDeviceLost() {
    IFilterGraph* graph = graph_;
    IMediaEventSink* sink = nullptr;
    if (graph != nullptr &&
        SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
      sink->Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
      sink->Release();
    }
  }

 private:
  LONG refs_ = 1;
  const CameraClass& class_;
  std::shared_ptr<VirtualCameraBackend> backend_;
  VirtualCameraControls& controls_;
  std::unique_ptr<capture::CaptureSource> source_;
  std::unique_ptr<Pin> pin_;
  std::recursive_mutex stateMutex_;
  FILTER_STATE state_ = State_Stopped;
  REFERENCE_TIME runStart_ = 0;
  bool failRun_ = false;
  IReferenceClock* clock_ = nullptr;
  IFilterGraph* graph_ = nullptr;
  WCHAR name_[MAX_FILTER_NAME];
  ProcAmpPart procAmp_{this};
  CameraControlPart cameraControl_{this};
};

STDMETHODIMP Pin::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
    *out = static_cast<IPin*>(this);
  } else if (IsEqualIID(iid, IID_IKsPropertySet)) {
    *out = static_cast<IKsPropertySet*>(this);
  } else if (IsEqualIID(iid, IID_IAMStreamConfig)) {
    *out = static_cast<IAMStreamConfig*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}
STDMETHODIMP_(ULONG) Pin::AddRef() {
  return filter_->AddRef();
}
STDMETHODIMP_(ULONG) Pin::Release() {
  return filter_->Release();
}
STDMETHODIMP Pin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = filter_->AsFilter();
  info->pFilter->AddRef();
  info->dir = PINDIR_OUTPUT;
  std::memcpy(info->achName, L"Capture", sizeof(L"Capture"));
  return S_OK;
}

STDMETHODIMP Pin::Connect(IPin* receiver, const AM_MEDIA_TYPE* mt) {
  if (receiver == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (refuseConnections_) return VFW_E_NO_ACCEPTABLE_TYPES;
  if (mt != nullptr && !Acceptable(mt, width_, height_)) return VFW_E_TYPE_NOT_ACCEPTED;
  AM_MEDIA_TYPE ours;
  if (!MakeMediaType(width_, height_, &ours)) return E_OUTOFMEMORY;
  HRESULT hr = receiver->ReceiveConnection(this, &ours);
  FreeMediaType(&ours);
  if (FAILED(hr)) return VFW_E_NO_ACCEPTABLE_TYPES;
  hr = receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input_));
  if (SUCCEEDED(hr) && FAILED(input_->GetAllocator(&allocator_))) {
    hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                          reinterpret_cast<void**>(&allocator_));
  }
  if (SUCCEEDED(hr)) {
    ALLOCATOR_PROPERTIES want = {2, width_ * height_ * 3, 1, 0}, got = {};
    hr = allocator_->SetProperties(&want, &got);
    if (SUCCEEDED(hr)) hr = input_->NotifyAllocator(allocator_, FALSE);
  }
  if (FAILED(hr)) {
    receiver->Disconnect();
    if (allocator_ != nullptr) std::exchange(allocator_, nullptr)->Release();
    if (input_ != nullptr) std::exchange(input_, nullptr)->Release();
    return hr;
  }
  peer_ = receiver;
  peer_->AddRef();
  return S_OK;
}

// One frame of the simulator into one sample. The allocator's buffers are made once
// at connection: nothing is allocated per frame.
int32_t Pin::BufferCB(double, uint8_t* buffer, long length) {
  if (!running.load(std::memory_order_acquire)) return 0;
  IMemAllocator* allocator = allocator_;  // stable while the filter streams
  IMemInputPin* input = input_;
  if (allocator == nullptr || input == nullptr) return 0;
  IMediaSample* sample = nullptr;
  if (FAILED(allocator->GetBuffer(&sample, nullptr, nullptr, 0)) || sample == nullptr) return 0;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const long size = std::min<long>(length, sample->GetSize());
  std::memcpy(data, buffer, static_cast<size_t>(size));
  sample->SetActualDataLength(size);
  sample->SetTime(nullptr, nullptr);  // a live picture: shown as it comes
  sample->SetSyncPoint(TRUE);
  input->Receive(sample);
  sample->Release();
  return 0;
}

void Pin::StreamFailed(const char*) {
  running.store(false, std::memory_order_release);
  filter_->NotifyDeviceLost();
}

class Pins final : public Enumerator<IEnumPins, IPin, Pins> {
 public:
  Pins(Filter* filter, ULONG pos) : filter_(filter) {
    filter_->AddRef();
    pos_ = pos;
  }
  ~Pins() override { filter_->Release(); }
  IPin* Make() {
    filter_->AddRef();
    return filter_->pin();
  }
  STDMETHODIMP Clone(IEnumPins** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new Pins(filter_, pos_);
    return S_OK;
  }

 private:
  Filter* filter_;
};

STDMETHODIMP Filter::EnumPins(IEnumPins** out) {
  if (out == nullptr) return E_POINTER;
  *out = new Pins(this, 0);
  return S_OK;
}

class Factory final : public IClassFactory {
 public:
  explicit Factory(const CameraClass& cls) : class_(cls) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // static objects
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* filter = new Filter(class_);
    const HRESULT hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      ++g_objects;
    } else {
      --g_objects;
    }
    return S_OK;
  }

 private:
  const CameraClass& class_;
};

Factory g_factories[] = {Factory(kClasses[0]), Factory(kClasses[1]), Factory(kClasses[2])};

std::wstring ClassKey(const CLSID& clsid) {
  wchar_t text[64];
  StringFromGUID2(clsid, text, 64);
  return std::wstring(L"CLSID\\") + text;
}

bool SetString(const std::wstring& key, const wchar_t* name, const wchar_t* value) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

HRESULT RegisterCameras(IFilterMapper2* mapper) {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(g_module, module, MAX_PATH);
  for (const CameraClass& c : kClasses) {
    const std::wstring key = ClassKey(c.clsid);
    if (!SetString(key, nullptr, c.name) ||
        !SetString(key + L"\\InprocServer32", nullptr, module) ||
        !SetString(key + L"\\InprocServer32", L"ThreadingModel", L"Both")) {
      return SELFREG_E_CLASS;
    }
    REGPINTYPES type = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
    REGFILTERPINS2 pin = {};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter = {};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    IMoniker* moniker = nullptr;
    HRESULT hr = mapper->RegisterFilter(c.clsid, c.name, &moniker, &CLSID_VideoInputDeviceCategory,
                                        c.name, &filter);
    if (FAILED(hr)) return hr;
    if (moniker == nullptr) return SELFREG_E_CLASS;
    IPropertyBag* bag = nullptr;
    hr = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag));
    if (SUCCEEDED(hr)) {
      VARIANT v;
      VariantInit(&v);
      V_VT(&v) = VT_BSTR;
      V_BSTR(&v) = SysAllocString(platform::Utf8ToWide(c.path).c_str());
      hr = bag->Write(L"DevicePath", &v);
      VariantClear(&v);
      bag->Release();
    }
    moniker->Release();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace
}  // namespace ocuvant::simulator::dshow

using ocuvant::simulator::dshow::g_factories;
using ocuvant::simulator::dshow::g_module;
using ocuvant::simulator::dshow::g_objects;
using ocuvant::simulator::dshow::kClasses;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  for (size_t i = 0; i < 3; ++i) {
    if (IsEqualCLSID(clsid, kClasses[i].clsid)) return g_factories[i].QueryInterface(iid, out);
  }
  *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  return g_objects == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (SUCCEEDED(hr)) {
    hr = ocuvant::simulator::dshow::RegisterCameras(mapper);
    mapper->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IFilterMapper2* mapper = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IFilterMapper2, reinterpret_cast<void**>(&mapper)))) {
    for (const auto& c : kClasses) {
      mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, c.name, c.clsid);
    }
    mapper->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  for (const auto& c : kClasses) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ocuvant::simulator::dshow::ClassKey(c.clsid).c_str());
  }
  return S_OK;
}
