// The DirectShow capture backend under Wine, through the capture layer's own session
// object (CCaptureVideo) and the system device enumerator, on the virtual camera
// filters (ocuvant_vcam*.dll, registered with regsvr32 by the test script):
//   dshow_capture_test none        no video input device registered
//   dshow_capture_test cameras     the three virtual cameras: names, paths, selection
//   dshow_capture_test stream      iris, visible and infrared streams through the graph;
//                                  frames per second and Run -> first frame printed
//   dshow_capture_test properties  camera parameters applied on open, read back from
//                                  the device filter's IAMVideoProcAmp/IAMCameraControl
//   dshow_capture_test refuse      the device filter refuses to connect (OCUVANT_VCAM_FAULT)
//   dshow_capture_test runfail     the device filter will not run
//   dshow_capture_test lost        the camera is unplugged while streaming
#include <windows.h>
// (after windows.h)
#include <dshow.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "capture/capture_hooks.h"
#include "capture/capture_video.h"
#include "capture/frame_tap.h"
#include "platform/message_box.h"
#include "platform/utf16_win.h"

namespace {

using ocuvant::capture::CCaptureVideo;
using ocuvant::capture::FrameRoute;

int g_failures = 0;
int g_checks = 0;

void Check(bool ok, const std::string& what) {
  ++g_checks;
  if (!ok) ++g_failures;
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  std::fflush(stdout);
}

// What the capture layer told the control.
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> logs;
  std::vector<std::string> boxes;
  std::vector<std::string> lost;
  std::vector<std::string> photos;
  std::atomic<long> frames{0};
  std::atomic<long> routed{0};  // frames handed to the control's frame entry
  std::atomic<long> lastLength{0};
  std::atomic<DWORD> firstFrameTick{0};
  std::atomic<bool> varied{false};  // the frame is a picture, not one flat colour

  bool Logged(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& l : logs) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  }
  void Reset() {
    frames = 0;
    routed = 0;
    firstFrameTick = 0;
    varied = false;
    std::lock_guard<std::mutex> lock(mutex);
    logs.clear();
    boxes.clear();
    lost.clear();
    photos.clear();
  }
};
Recorder g_rec;

void OnFrame(void*, const uint8_t*, long, FrameRoute) {
  g_rec.routed.fetch_add(1);
}

// Every frame a session delivers, whatever its route.
void OnTap(void*, const uint8_t* data, long length, int32_t, int32_t, FrameRoute) {
  if (g_rec.frames.fetch_add(1) == 0) g_rec.firstFrameTick = GetTickCount();
  g_rec.lastLength = length;
  if (!g_rec.varied && length > 3) {
    // Pixels across the middle row band differ in a picture of eyes or a scene.
    const long step = length / 97;
    for (long i = step; i < length; i += step) {
      if (data[i] != data[0]) {
        g_rec.varied = true;
        break;
      }
    }
  }
}
void Log(void*, const char* text, const char* tag) {
  std::lock_guard<std::mutex> lock(g_rec.mutex);
  g_rec.logs.push_back(std::string(tag) + ": " + text);
}
void Photo(void*, int32_t kind, const char* path) {
  std::lock_guard<std::mutex> lock(g_rec.mutex);
  g_rec.photos.push_back(std::to_string(kind) + " " + path);
}
void Lost(void*, const char* session) {
  std::lock_guard<std::mutex> lock(g_rec.mutex);
  g_rec.lost.push_back(session);
}

const ocuvant::capture::CaptureHooks g_hooks = {nullptr, OnFrame, Log, Log, Photo, Lost};

bool WaitFor(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(5);
  }
  return true;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> out;
  size_t from = 0;
  while (!text.empty()) {
    const size_t semi = text.find(';', from);
    out.push_back(text.substr(from, semi - from));
    if (semi == std::string::npos) break;
    from = semi + 1;
  }
  return out;
}

constexpr char kIris[] = "\\usb#vid_0c45&pid_6366";
constexpr char kVisible[] = "usb#vid_05e3&pid_f11d";
constexpr char kInfrared[] = "usb#vid_05e3&pid_f11c";

void NoCameraChecks() {
  CCaptureVideo c;
  std::string text = "x";
  Check(c.EnumDevices(&text, true) == 0 && text.empty(), "no camera: no friendly names");
  Check(c.EnumDevices(&text, false) == 0 && text.empty(), "no camera: no device paths");
  Check(c.FindDeviceByPath(kIris) == -1, "no camera: the iris fragment finds -1 (empty category)");
  Check(!c.BindDevice(0), "no camera: BindDevice(0) is false");
  Check(c.Open(0, nullptr, ocuvant::capture::IrisFrames, "IrisHandle") == 1,
        "no camera: Open = 1 (the device cannot be bound)");
}

void CameraListChecks() {
  CCaptureVideo c;
  std::string names, paths;
  const int32_t nameCount = c.EnumDevices(&names, true);
  const int32_t pathCount = c.EnumDevices(&paths, false);
  Check(nameCount == 3, "three virtual cameras listed: " + names);
  Check(pathCount == 3, "three device paths listed: " + paths);
  const std::vector<std::string> n = Split(names), p = Split(paths);
  Check(n.size() == 3 && p.size() == 3 && names.back() != ';', "joined by ';', none at the end");
  const struct {
    const char* fragment;
    const char* name;
  } rows[] = {{kIris, "Virtual Iris Camera"},
              {kVisible, "Virtual Visible Camera"},
              {kInfrared, "Virtual Infrared Camera"}};
  for (const auto& r : rows) {
    const int32_t i = c.FindDeviceByPath(r.fragment);
    Check(i >= 0 && i < static_cast<int32_t>(n.size()) && n[i] == r.name &&
              p[i].find(r.fragment) != std::string::npos,
          std::string("fragment ") + r.fragment + " selects " + r.name + " (" + std::to_string(i) +
              ")");
  }
  Check(c.FindDeviceByPath("USB#VID_0C45&PID_6366") == -2, "upper-case fragment: -2");
  Check(c.FindDeviceByPath("") == -1 && c.FindDeviceByPath(nullptr) == -1, "empty fragment: -1");
  Check(c.FindDeviceByPath("usb#vid_ffff") == -2, "unknown fragment: -2");
}

// One session on the camera the fragment selects: connected size, frames through the
// grabber for `ms`, a snapshot, then Close while frames flow.
void StreamOne(const char* fragment, FrameRoute route, const char* session, int32_t width,
               int32_t height, DWORD ms, const std::string& snapshot) {
  g_rec.Reset();
  CCaptureVideo c;
  const int32_t index = c.FindDeviceByPath(fragment);
  const DWORD t0 = GetTickCount();
  const int32_t open = c.Open(index, nullptr, route, session);
  const DWORD opened = GetTickCount();
  Check(open == 0, std::string(session) + ": Open = " + std::to_string(open));
  if (open != 0) return;
  Check(c.FrameWidth() == width && c.FrameHeight() == height,
        std::string(session) + ": connected " + std::to_string(c.FrameWidth()) + "x" +
            std::to_string(c.FrameHeight()));
  const DWORD run = GetTickCount();
  Check(c.Run() == 1, std::string(session) + ": Run = 1");
  const bool first = WaitFor([] { return g_rec.frames > 0; }, 10000);
  Check(first, std::string(session) + ": a first frame arrives");
  if (!first) {
    c.Close();
    return;
  }
  const DWORD firstTick = g_rec.firstFrameTick;
  const long before = g_rec.frames;
  const DWORD m0 = GetTickCount();
  Sleep(ms);
  const long counted = g_rec.frames - before;
  const DWORD elapsed = GetTickCount() - m0;
  std::printf(
      "figure: %s %dx%d: open %lu ms, Run -> first frame %lu ms, %.1f frames/s (%ld in %lu ms)\n",
      session, width, height, static_cast<unsigned long>(opened - t0),
      static_cast<unsigned long>(firstTick - run), counted * 1000.0 / elapsed, counted,
      static_cast<unsigned long>(elapsed));
  Check(g_rec.lastLength == static_cast<long>(width) * height * 3,
        std::string(session) + ": frame length " + std::to_string(g_rec.lastLength));
  Check(g_rec.varied, std::string(session) + ": the frame holds a picture");
  Check(counted > 0, std::string(session) + ": frames keep coming");
  Check((g_rec.routed > 0) == (route != ocuvant::capture::SnapshotOnly),
        std::string(session) + ": " + std::to_string(g_rec.routed) +
            " frames to the control's frame entry (none for snapshots only)");
  if (!snapshot.empty()) {
    DeleteFileA(snapshot.c_str());
    c.RequestSnapshot(7, snapshot);
    Check(WaitFor(
              [] {
                std::lock_guard<std::mutex> lock(g_rec.mutex);
                return !g_rec.photos.empty();
              },
              5000),
          std::string(session) + ": the snapshot is announced");
    WIN32_FILE_ATTRIBUTE_DATA a{};
    const bool exists = GetFileAttributesExA(snapshot.c_str(), GetFileExInfoStandard, &a) != 0;
    const unsigned long long size =
        (static_cast<unsigned long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    Check(exists && size == 54ull + 3ull * width * height,
          std::string(session) + ": snapshot BMP of " + std::to_string(size) + " bytes");
  }
  const DWORD c0 = GetTickCount();
  Check(c.Close() == 0, std::string(session) + ": Close while streaming");
  const DWORD closed = GetTickCount() - c0;
  std::printf("figure: %s: Close %lu ms\n", session, static_cast<unsigned long>(closed));
  const long after = g_rec.frames;
  Sleep(200);
  Check(g_rec.frames == after, std::string(session) + ": no frame after Close");
  Check(closed < 3000, std::string(session) + ": Close returns without waiting for ever");
}

void StreamChecks() {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  StreamOne(kIris, ocuvant::capture::IrisFrames, "IrisHandle", 1920, 1080, 3000,
            std::string(dir) + "ocuvant_dshow_iris.bmp");
  Check(g_rec.Logged("null renderer") || !g_rec.Logged("no video renderer"),
        "renderer choice logged when the null renderer stands in");
  StreamOne(kVisible, ocuvant::capture::SnapshotOnly, "PhotoCapture", 1280, 720, 1000,
            std::string(dir) + "ocuvant_dshow_photo.bmp");
  StreamOne(kInfrared, ocuvant::capture::FaceFrames, "InfraredFace", 640, 480, 1000, "");
  // A second Open on an open session changes the route only.
  CCaptureVideo c;
  const int32_t i = c.FindDeviceByPath(kVisible);
  Check(c.Open(i, nullptr, ocuvant::capture::SnapshotOnly, "PhotoCapture") == 0 &&
            c.Open(i, nullptr, ocuvant::capture::FaceFrames, "InfraredFace") == 0 &&
            c.Route() == ocuvant::capture::FaceFrames && g_rec.Logged("已经初始化:0"),
        "second Open: 0, logged, new route");
  c.Close();
  // Background camera.
  Check(c.OpenPhotoVideo(i) == 0 && c.FrameWidth() == 1280 && c.Run() == 1, "OpenPhotoVideo, Run");
  Check(c.Pause() == 0 && c.State() == ocuvant::capture::CaptureState::Paused, "Pause");
  c.Close();
}

// The device filter of the camera the fragment selects, found as a host would.
IBaseFilter* DeviceFilter(const char* fragment) {
  ICreateDevEnum* devices = nullptr;
  IEnumMoniker* e = nullptr;
  IBaseFilter* filter = nullptr;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, reinterpret_cast<void**>(&devices)))) {
    return nullptr;
  }
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &e, 0) == S_OK) {
    IMoniker* m = nullptr;
    while (filter == nullptr && e->Next(1, &m, nullptr) == S_OK) {
      IPropertyBag* bag = nullptr;
      if (SUCCEEDED(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                     reinterpret_cast<void**>(&bag)))) {
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(bag->Read(L"DevicePath", &v, nullptr)) && V_VT(&v) == VT_BSTR &&
            ocuvant::platform::WideToUtf8(V_BSTR(&v), SysStringLen(V_BSTR(&v))).find(fragment) !=
                std::string::npos) {
          m->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
        }
        VariantClear(&v);
        bag->Release();
      }
      m->Release();
    }
    e->Release();
  }
  devices->Release();
  return filter;
}

void PropertyChecks() {
  g_rec.Reset();
  CCaptureVideo c;
  c.SetCameraParams(
      R"({"camera_brightness":"8","camera_contrast":"46","camera_hue":"0","camera_saturation":"56",)"
      R"("camera_sharpness":"5","camera_gamma":"4","camera_gain":"500","camera_backlight":"400",)"
      R"("camera_exposure_auto":"0","camera_exposure_manual_val":"-8"})");
  Check(c.Open(c.FindDeviceByPath(kIris), nullptr, ocuvant::capture::IrisFrames, "IrisHandle") == 0,
        "Open with camera parameters");
  IBaseFilter* f = DeviceFilter(kIris);
  IAMVideoProcAmp* amp = nullptr;
  IAMCameraControl* cam = nullptr;
  Check(f != nullptr &&
            SUCCEEDED(f->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&amp))) &&
            SUCCEEDED(f->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&cam))),
        "the device filter answers IAMVideoProcAmp and IAMCameraControl");
  if (amp != nullptr && cam != nullptr) {
    const struct {
      long property;
      long expected;
      const char* name;
    } rows[] = {{VideoProcAmp_Brightness, 8, "brightness"},
                {VideoProcAmp_Contrast, 46, "contrast"},
                {VideoProcAmp_Saturation, 56, "saturation"},
                {VideoProcAmp_Sharpness, 5, "sharpness"},
                {VideoProcAmp_Gamma, 4, "gamma"},
                {VideoProcAmp_BacklightCompensation, 400, "backlight"}};
    for (const auto& r : rows) {
      long v = 0, flags = 0;
      const bool read = SUCCEEDED(amp->Get(r.property, &v, &flags));
      Check(read && v == r.expected && flags == VideoProcAmp_Flags_Manual,
            std::string("the camera received ") + r.name + " " + std::to_string(v));
    }
    long gain = 0, flags = 0, mn = 0, mx = 0, step = 0, def = 0, caps = 0;
    const bool range = SUCCEEDED(amp->GetRange(VideoProcAmp_Gain, &mn, &mx, &step, &def, &caps));
    const bool read = SUCCEEDED(amp->Get(VideoProcAmp_Gain, &gain, &flags));
    Check(range && read && mx < 500 && gain != 500,
          "gain 500 outside the range " + std::to_string(mn) + ".." + std::to_string(mx) +
              " left at " + std::to_string(gain));
    long exposure = 0;
    const bool got = SUCCEEDED(cam->Get(CameraControl_Exposure, &exposure, &flags));
    Check(got && exposure == -8 && flags == CameraControl_Flags_Manual,
          "manual exposure -8 (log2 s, 1/256 s) received: " + std::to_string(exposure));
  }
  if (amp != nullptr) amp->Release();
  if (cam != nullptr) cam->Release();
  if (f != nullptr) f->Release();
  c.Close();
}

void RefuseChecks() {
  g_rec.Reset();
  CCaptureVideo c;
  const int32_t open =
      c.Open(c.FindDeviceByPath(kIris), nullptr, ocuvant::capture::IrisFrames, "IrisHandle");
  Check(open < 0, "a filter that refuses to connect: Open = " + std::to_string(open));
  Check(c.State() == ocuvant::capture::CaptureState::Empty && c.Run() == -100,
        "nothing left built: Run = -100");
  const int32_t photo = c.OpenPhotoVideo(c.FindDeviceByPath(kVisible));
  std::lock_guard<std::mutex> lock(g_rec.mutex);
  bool box = false;
  for (const auto& b : g_rec.boxes) box = box || b == "Preview Pin连接失败！";
  Check(photo < 0 && box, "OpenPhotoVideo: " + std::to_string(photo) + " and its message box");
}

void RunFailChecks() {
  g_rec.Reset();
  CCaptureVideo c;
  Check(c.Open(c.FindDeviceByPath(kIris), nullptr, ocuvant::capture::IrisFrames, "IrisHandle") == 0,
        "Open on a filter that will not run");
  const DWORD t0 = GetTickCount();
  Check(c.Run() == -102, "Run = -102");
  Check(g_rec.Logged("IMediaControl::Run failed"), "the failure is logged");
  Check(GetTickCount() - t0 < 5000 && c.Close() == 0, "no hang");
}

void LostChecks() {
  g_rec.Reset();
  CCaptureVideo c;
  Check(
      c.Open(c.FindDeviceByPath(kIris), nullptr, ocuvant::capture::IrisFrames, "IrisHandle") == 0 &&
          c.Run() == 1,
      "streaming before the camera goes");
  Check(WaitFor(
            [] {
              std::lock_guard<std::mutex> lock(g_rec.mutex);
              return !g_rec.lost.empty();
            },
            10000),
        "EC_DEVICE_LOST ends the session: the control hears the camera is lost");
  Check(g_rec.Logged("IrisHandle: 视频设备停止工作:EC_DEVICE_LOST"),
        "logged under the session name");
  const long frames = g_rec.frames;
  Sleep(300);
  Check(g_rec.frames == frames, "no frame after the loss");
  const DWORD t0 = GetTickCount();
  Check(c.Close() == 0 && GetTickCount() - t0 < 3000, "Close after the loss returns");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ocuvant::capture::InstallCaptureHooks(&g_hooks);
  ocuvant::capture::InstallFrameTap(OnTap, nullptr);
  ocuvant::platform::SetMessageBoxHandler([](const std::string& text, const std::string&) {
    std::lock_guard<std::mutex> lock(g_rec.mutex);
    g_rec.boxes.push_back(text);
  });
  if (mode == "none") {
    NoCameraChecks();
  } else if (mode == "cameras") {
    CameraListChecks();
  } else if (mode == "stream") {
    StreamChecks();
  } else if (mode == "properties") {
    PropertyChecks();
  } else if (mode == "refuse") {
    RefuseChecks();
  } else if (mode == "runfail") {
    RunFailChecks();
  } else if (mode == "lost") {
    LostChecks();
  } else {
    std::printf("usage: dshow_capture_test none|cameras|stream|properties|refuse|runfail|lost\n");
    return 2;
  }
  ocuvant::capture::InstallFrameTap(nullptr, nullptr);
  ocuvant::capture::InstallCaptureHooks(nullptr);
  {
    std::lock_guard<std::mutex> lock(g_rec.mutex);
    for (const auto& l : g_rec.logs) std::printf("log: %s\n", l.c_str());
  }
  CoUninitialize();
  std::printf("%s: %d checks, %d failed\n", mode.c_str(), g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
