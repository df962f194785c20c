// The Windows platform layer under Wine: the control's window (posted and sent messages
// on the owner thread, sends from other threads, a destroyed window, pumping and quit),
// manual-reset events, critical sections, ticks, file names as they stand (backslashes,
// Chinese names), the module directory and loading the face library from it.
#include <windows.h>
// windows.h names CreateDirectoryA this way; the platform function keeps its own name.
#undef CreateDirectory

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "platform/wave_resource_win.h"
#include "platform/window.h"

namespace {

using namespace ocuvant::platform;

int g_failures = 0;
int g_checks = 0;

void Check(bool ok, const std::string& what) {
  ++g_checks;
  if (!ok) {
    ++g_failures;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

void WindowChecks() {
  const DWORD owner = GetCurrentThreadId();
  std::vector<uint32_t> handled;
  std::atomic<bool> wrongThread{false};
  auto window = std::make_unique<Window>([&](uint32_t msg, uintptr_t w, intptr_t) -> intptr_t {
    if (GetCurrentThreadId() != owner) wrongThread = true;
    handled.push_back(msg);
    return static_cast<intptr_t>(w * 2);
  });
  Check(window->IsOwnerThread(), "the creating thread owns the window");
  Check(window->Send(0x13A0, 21) == 42, "Send on the owner thread calls the handler");
  Check(window->Post(0x13A1, 1) && handled.size() == 1, "Post queues");
  Check(window->Pump(0) && handled.size() == 2 && handled[1] == 0x13A1, "Pump(0) handles it");

  // A worker's Send blocks until the owner handled it; its Posts arrive in order.
  WindowHandle handle = window->Handle();
  std::atomic<intptr_t> sent{-1};
  std::thread worker([&] {
    handle.Post(0x13A2);
    handle.Post(0x13A3);
    sent = handle.Send(0x13A4, 50);
  });
  const DWORD start = ::GetTickCount();
  while (sent.load() == -1 && ::GetTickCount() - start < 5000) window->Pump(20);
  worker.join();
  Check(sent == 100, "a worker's Send returns the handler's result");
  Check(!wrongThread, "every handler ran on the owner thread");
  // Sent messages go before posted ones; the posted ones keep their order.
  std::vector<uint32_t> posted;
  for (size_t i = 2; i < handled.size(); ++i) {
    if (handled[i] != 0x13A4) posted.push_back(handled[i]);
  }
  Check(handled.size() == 5 && posted == std::vector<uint32_t>{0x13A2, 0x13A3},
        "every message handled, the posted ones in order");

  // Pump returns after its time with nothing queued; PostQuit stops it.
  const DWORD t0 = ::GetTickCount();
  Check(window->Pump(100), "Pump(100) with nothing to do");
  Check(::GetTickCount() - t0 >= 90, "Pump waited its time");
  window->PostQuit();
  Check(!window->Pump(1000), "Pump returns false after PostQuit");

  // A destroyed window: Post false, Send 0, at once; a handle says it is gone.
  window.reset();
  Check(!handle.IsWindow() && !handle.Post(0x13A5) && handle.Send(0x13A5, 1) == 0,
        "a destroyed window refuses messages");
  Check(!WindowHandle().Post(1), "a default handle is no window");
}

void SyncChecks() {
  ManualResetEvent event;
  Check(!event.IsSet() && !event.Wait(10), "a new event is not set");
  std::thread setter([&] {
    ::Sleep(30);
    event.Set();
  });
  Check(event.Wait(5000) && event.IsSet(), "Wait sees Set from another thread");
  setter.join();
  Check(event.Wait(0), "a manual-reset event stays set");
  event.Reset();
  Check(!event.IsSet(), "Reset");
  CriticalSection cs;
  cs.Enter();
  Check(cs.TryEnter(), "critical sections are recursive");
  cs.Leave();
  std::atomic<bool> other{true};
  std::thread t([&] { other = cs.TryEnter(); });
  t.join();
  Check(!other, "another thread cannot enter a held section");
  cs.Leave();
  const uint32_t a = ocuvant::platform::GetTickCount();
  ocuvant::platform::Sleep(200);
  const uint32_t slept = TicksSince(a);
  // Wine advances its tick count in steps of about 16 ms.
  Check(slept >= 150 && slept < 2000, "ticks advance with Sleep: " + std::to_string(slept) + " ms");
  Thread th([] {});
  Check(th.Wait(5000), "a thread runs and finishes");
}

void FileChecks() {
  const std::string dir = ModuleDirectory();
  Check(!dir.empty() && dir.back() == '\\', "the module directory ends with a backslash: " + dir);
  Check(MapPath("d:\\q5_match.iris") == std::optional<std::string>("d:\\q5_match.iris"),
        "names stand as they are");
  Check(!MapPath("").has_value(), "an empty name is no file");
  const std::string sub = dir + "测试 目录";
  Check(CreateDirectory(sub) && DirectoryExists(sub) && CreateDirectory(sub),
        "a directory with a Chinese name (made twice)");
  const std::string file = sub + "\\虹膜.raw";
  const char data[] = "iris\0bytes";
  Check(WriteWholeFile(file, data, sizeof data) && FileExists(file), "write a whole file");
  std::string back;
  Check(ReadWholeFile(file, &back) && back == std::string(data, sizeof data), "read it back");
  OutputFile out;
  Check(out.Create(file) && out.Write("ab", 2) && out.Write("cd", 2), "write in pieces");
  out.Close();
  Check(ReadWholeFile(file, &back) && back == "abcd" && !out.IsOpen(), "pieces in order");
  Check(!WriteWholeFile(sub + "\\no such dir\\x", data, 1), "a missing directory fails");
  DynamicLibrary face;
  Check(face.Load(dir + "TravexFace(32bit).dll") && face.Symbol("TravexFaceInit") != nullptr,
        "the face library from the module directory");
  Check(face.Symbol("NoSuchExport") == nullptr, "a missing export is null");
  DynamicLibrary none;
  Check(!none.Load(dir + "NoSuchLibrary.dll") && !none.IsLoaded(), "a missing library fails");
}

// The prompt's bytes find their resource number; other bytes find none.
void WaveResourceChecks() {
  std::string wav;
  std::string unix = OCUVANT_PROMPT_201;
  std::string name = "Z:";
  for (char c : unix) name += c == '/' ? '\\' : c;
  Check(ReadWholeFile(name, &wav) && wav.size() > 44, "read prompt 201");
  const std::vector<uint8_t> image(wav.begin(), wav.end());
  Check(FindWaveResource(image.data(), image.size()) == 201, "its WAVE resource is 201");
  Check(FindWaveResource(image.data(), image.size()) == 201, "remembered");
  std::vector<uint8_t> other = image;
  if (other.size() > 44) other[44] ^= 1;
  Check(FindWaveResource(other.data(), other.size()) == 0, "different bytes: no resource");
}

}  // namespace

int main() {
  WaveResourceChecks();
  WindowChecks();
  SyncChecks();
  FileChecks();
  std::printf("platform: %d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
