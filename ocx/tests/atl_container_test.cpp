// Wine's ATL container embedding the registered control (run under a display, e.g.
// xvfb-run): AtlAxCreateControl by ProgID, a property read through AtlAxGetControl, the
// property page in OleCreatePropertyFrame and the about box, each captured to a BMP in
// the directory given; with "live", the live picture of the virtual iris camera in the
// control's window.  Usage: atl_container_test OUTPUT_DIR [live]
#include <windows.h>
// (these need windows.h first)
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ocuvant_h.h"

namespace {

int g_failures = 0;
int g_checks = 0;
std::wstring g_out;

void Check(bool ok, const std::string& what) {
  ++g_checks;
  if (!ok) ++g_failures;
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  std::fflush(stdout);
}

// The window's screen area as a 24-bit BMP.
bool Capture(HWND hwnd, const std::wstring& name) {
  RECT r{};
  if (!GetWindowRect(hwnd, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  const DWORD size = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4d42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + size;
  bool ok = false;
  if (FILE* f = _wfopen((g_out + L"\\" + name).c_str(), L"wb")) {
    ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
         std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, 1, size, f) == size;
    std::fclose(f);
  }
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

struct Found {
  std::wstring title;
  HWND hwnd = nullptr;
};

BOOL CALLBACK FindByTitle(HWND hwnd, LPARAM p) {
  auto* f = reinterpret_cast<Found*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) &&
      std::wstring(text).find(f->title) != std::wstring::npos) {
    f->hwnd = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectTexts(HWND hwnd, LPARAM p) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  reinterpret_cast<std::vector<std::wstring>*>(p)->push_back(text);
  return TRUE;
}

// Waits on another thread for a window whose title holds `title`, captures it, records
// its child texts and closes it with `closeMessage`.
std::thread Watch(const std::wstring& title, const std::wstring& shot, std::atomic<bool>* seen,
                  std::vector<std::wstring>* texts) {
  return std::thread([=] {
    for (int i = 0; i < 200; ++i) {
      Found f{title};
      EnumWindows(FindByTitle, reinterpret_cast<LPARAM>(&f));
      if (f.hwnd != nullptr) {
        Sleep(700);  // let it paint
        RedrawWindow(f.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(300);
        *seen = Capture(f.hwnd, shot);
        EnumChildWindows(f.hwnd, CollectTexts, reinterpret_cast<LPARAM>(texts));
        PostMessageW(f.hwnd, WM_COMMAND, IDOK, 0);
        Sleep(500);
        if (IsWindow(f.hwnd)) PostMessageW(f.hwnd, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(100);
    }
  });
}

bool HasText(const std::vector<std::wstring>& texts, const std::wstring& t) {
  for (const std::wstring& s : texts) {
    if (s.find(t) != std::wstring::npos) return true;
  }
  return false;
}

// Luminance over the band across the middle of the window's screen area, where the
// two eyes of the iris camera's picture are: mean, spread and the share of pure white
// (the control's empty background) and pure black pixels.
struct BandStats {
  double mean = 0, spread = 0, white = 0, black = 0;
};
bool MiddleBand(HWND hwnd, BandStats* out) {
  RECT r{};
  if (!GetWindowRect(hwnd, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 4 || h <= 4) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  const int stride = (w * 3 + 3) & ~3;
  double sum = 0, sq = 0, n = 0, white = 0, black = 0;
  for (int y = h * 3 / 10; y < h * 7 / 10; ++y) {
    const auto* row = static_cast<const unsigned char*>(bits) + static_cast<size_t>(y) * stride;
    for (int x = 2; x < w - 2; ++x) {
      const unsigned char* p = row + 3 * x;
      const double l = 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
      sum += l;
      sq += l * l;
      n += 1;
      white += (p[0] == 255 && p[1] == 255 && p[2] == 255) ? 1 : 0;
      black += (p[0] == 0 && p[1] == 0 && p[2] == 0) ? 1 : 0;
    }
  }
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (n == 0) return false;
  out->mean = sum / n;
  out->spread = std::sqrt(std::max(0.0, sq / n - out->mean * out->mean));
  out->white = white / n;
  out->black = black / n;
  return true;
}

void Pump(int ms) {
  MSG m;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(ms)) {
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(20);
  }
}

// The live picture: the snapshot-only iris session (InitCaptureIris, DISPID 15) on the
// virtual iris camera shows the eyes in the control's window, and follows its size.
void LivePictureChecks(IDispatch* d, HWND frame, HWND host) {
  DISPPARAMS none{};
  VARIANT r;
  VariantInit(&r);
  const HRESULT hr = d->Invoke(15, IID_NULL, 0, DISPATCH_METHOD, &none, &r, nullptr, nullptr);
  Check(hr == S_OK && V_VT(&r) == VT_I4 && V_I4(&r) == 1,
        "InitCaptureIris on the DirectShow iris camera = " + std::to_string(V_I4(&r)));
  Pump(1500);
  BandStats s;
  const bool got = MiddleBand(host, &s);
  char text[160];
  std::snprintf(text, sizeof text, "mean %.1f, spread %.1f, white %.2f, black %.2f", s.mean,
                s.spread, s.white, s.black);
  Check(got && s.white < 0.05 && s.black < 0.5 && s.mean > 20 && s.spread > 5,
        std::string("the eyes in the control's window (") + text + ")");
  Check(Capture(frame, L"live_picture.bmp"), "screenshot live_picture.bmp");
  // The container resizes the control: the picture follows (no white margin appears).
  SetWindowPos(host, nullptr, 0, 0, 300, 180, SWP_NOMOVE | SWP_NOZORDER);
  IOleInPlaceObject* inPlace = nullptr;
  IUnknown* unk = d;
  if (SUCCEEDED(unk->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
    RECT rect{0, 0, 300, 180};
    inPlace->SetObjectRects(&rect, &rect);
    inPlace->Release();
  }
  Pump(700);
  BandStats after;
  const bool got2 = MiddleBand(host, &after);
  std::snprintf(text, sizeof text, "mean %.1f, white %.2f", after.mean, after.white);
  Check(got2 && after.white < 0.05 && after.mean > 20,
        std::string("after a resize the picture still fills the window (") + text + ")");
  Check(Capture(frame, L"live_picture_resized.bmp"), "screenshot live_picture_resized.bmp");
  VariantClear(&r);
  d->Invoke(13, IID_NULL, 0, DISPATCH_METHOD, &none, &r, nullptr, nullptr);  // CloseIris
  VariantClear(&r);
  Pump(300);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  for (const char* p = argv[1]; *p; ++p) g_out += static_cast<wchar_t>(*p);
  // "live": the DirectShow virtual cameras are registered; the live picture is checked.
  const bool live = argc > 2 && std::strcmp(argv[2], "live") == 0;
  OleInitialize(nullptr);
  HMODULE atl = LoadLibraryW(L"atl.dll");
  using WinInit = BOOL(WINAPI*)();
  using CreateControl = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);
  using GetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
  auto winInit =
      reinterpret_cast<WinInit>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  auto create = reinterpret_cast<CreateControl>(
      reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControl")));
  auto get =
      reinterpret_cast<GetControl>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
  Check(winInit != nullptr && create != nullptr && get != nullptr && winInit(), "Wine's ATL");
  if (create == nullptr || get == nullptr) return 1;

  HWND frame =
      CreateWindowExW(0, L"STATIC", L"ATL container test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                      420, 300, nullptr, nullptr, nullptr, nullptr);
  Check(frame != nullptr, "a top-level window (needs a display)");
  HWND host = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 20, 360,
                              200, frame, nullptr, nullptr, nullptr);
  const HRESULT hr = create(L"OCUVANT.OcuvantCtrl.1", host, nullptr, nullptr);
  Check(hr == S_OK, "AtlAxCreateControl by ProgID");
  IUnknown* unk = nullptr;
  IDispatch* d = nullptr;
  if (SUCCEEDED(get(host, &unk)) && unk != nullptr) {
    unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    unk->Release();
  }
  Check(d != nullptr, "AtlAxGetControl gives the control's IDispatch");
  if (d == nullptr) return 1;
  DISPPARAMS none{};
  VARIANT v;
  VariantInit(&v);
  Check(d->Invoke(4, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr) == S_OK &&
            V_VT(&v) == VT_I4 && V_I4(&v) == 30,
        "EnrollIrisTimeout read through the container = 30");
  MSG m;
  for (int i = 0; i < 20; ++i) {
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(25);
  }
  Check(Capture(frame, L"atl_container.bmp"), "screenshot atl_container.bmp");
  if (live) LivePictureChecks(d, frame, host);

  // The property page in the platform's property frame (modal; closed by the watcher).
  std::atomic<bool> pageSeen{false};
  std::vector<std::wstring> pageTexts;
  std::thread w1 = Watch(L"Ocuvant", L"property_page.bmp", &pageSeen, &pageTexts);
  IUnknown* objects[1] = {d};
  CLSID page = CLSID_OcuvantPropPage;
  const HRESULT framed = OleCreatePropertyFrame(frame, 10, 10, L"Ocuvant Control", 1, objects, 1,
                                                &page, 0, 0, nullptr);
  w1.join();
  Check(framed == S_OK && pageSeen, "property frame shown and captured (property_page.bmp)");
  Check(HasText(pageTexts, L"TODO: Place controls to manipulate properties of Ocuvant Control"),
        "the page's static text is in the frame");

  // The about box through AboutBox (DISPID -552).
  std::atomic<bool> aboutSeen{false};
  std::vector<std::wstring> aboutTexts;
  std::thread w2 = Watch(L"关于 Ocuvant Control", L"about_box.bmp", &aboutSeen, &aboutTexts);
  const HRESULT about =
      d->Invoke(DISPID_ABOUTBOX, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
  w2.join();
  Check(about == S_OK && aboutSeen, "about box shown and captured (about_box.bmp)");
  Check(HasText(aboutTexts, L"Ocuvant Control, Version 1.0") && HasText(aboutTexts, L"确定"),
        "about box text and its 确定 button");

  d->Release();
  DestroyWindow(frame);
  OleUninitialize();
  std::printf("atl container: %d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
