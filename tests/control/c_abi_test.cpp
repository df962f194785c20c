// The plain C interface: a control made and freed through it, members by name and by
// DISPID, events through the C callback, and what it does with bad arguments.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/invoke.h"
#include "control/ocuvant_c.h"
#include "control/ocuvant_ctrl.h"
#include "control/session_types.h"

namespace ocuvant::control {
namespace {

constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057u);  // E_INVALIDARG

OcuvantValue Int(int32_t i) {
  return {OCUVANT_INT32, i, nullptr, nullptr};
}
OcuvantValue Str(const char* s) {
  return {OCUVANT_STRING, 0, s, nullptr};
}
OcuvantValue Ptr(const int32_t* p) {
  return {OCUVANT_INT32_PTR, 0, nullptr, p};
}

// One call's outcome, with its texts copied out of the caller's buffers.
struct Call {
  int32_t hr = 0;
  OcuvantValue value{};
  std::string text;   // the string result
  std::string error;  // the refusal's reason
};

class CAbiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(control_, nullptr); }
  void TearDown() override { ocuvant_destroy(control_); }

  Call Invoke(const char* name, OcuvantInvokeKind kind, std::vector<OcuvantValue> args = {}) {
    Call c;
    char text[2048] = "untouched", error[256] = "untouched";
    c.hr = ocuvant_invoke(control_, name, kind, args.data(), static_cast<int>(args.size()),
                          &c.value, text, sizeof text, error, sizeof error);
    Collect(&c, text, error);
    return c;
  }
  Call InvokeId(int32_t dispid, OcuvantInvokeKind kind, std::vector<OcuvantValue> args = {}) {
    Call c;
    char text[2048] = "untouched", error[256] = "untouched";
    c.hr = ocuvant_invoke_dispid(control_, dispid, kind, args.data(), static_cast<int>(args.size()),
                                 &c.value, text, sizeof text, error, sizeof error);
    Collect(&c, text, error);
    return c;
  }
  static void Collect(Call* c, const char* text, const char* error) {
    if (c->value.type == OCUVANT_STRING) {
      EXPECT_EQ(c->value.s, text);  // points into the caller's buffer
      c->text = text;
    }
    c->error = error;
  }

  OcuvantControl* control_ = ocuvant_create();
};

TEST_F(CAbiTest, CreateDestroyAndTheNewestControl) {
  COcuvantCtrl* first = g_control.load();
  ASSERT_NE(first, nullptr);
  OcuvantControl* second = ocuvant_create();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(g_control.load(), first);  // the newest control takes over
  // Each handle has its own control.
  ASSERT_EQ(ocuvant_invoke(second, "StringMode", OCUVANT_PROPERTY_PUT, std::vector{Int(4)}.data(),
                           1, nullptr, nullptr, 0, nullptr, 0),
            0);
  EXPECT_EQ(Invoke("StringMode", OCUVANT_PROPERTY_GET).value.i, 0);
  ocuvant_destroy(second);
  EXPECT_EQ(Invoke("GetVersion", OCUVANT_METHOD).hr, 0);  // the first one still works
  ocuvant_destroy(nullptr);                               // harmless
  ocuvant_pump(nullptr, 0);
  ocuvant_set_event_callback(nullptr, nullptr, nullptr);
}

TEST_F(CAbiTest, PropertiesByNameAndDispid) {
  Call mode = Invoke("StringMode", OCUVANT_PROPERTY_GET);
  EXPECT_EQ(mode.hr, 0);
  EXPECT_EQ(mode.value.type, OCUVANT_INT32);
  EXPECT_EQ(mode.value.i, 0);
  EXPECT_EQ(mode.error, "");                                 // no reason on success
  EXPECT_EQ(InvokeId(4, OCUVANT_PROPERTY_GET).value.i, 30);  // EnrollIrisTimeout
  Call visible = InvokeId(6, OCUVANT_PROPERTY_GET);
  EXPECT_EQ(visible.value.type, OCUVANT_STRING);
  EXPECT_EQ(visible.text, "usb#vid_05e3&pid_f11d");

  Call put = Invoke("MatchIrisTimeout", OCUVANT_PROPERTY_PUT, {Int(45)});
  EXPECT_EQ(put.hr, 0);
  EXPECT_EQ(put.value.type, OCUVANT_VOID);
  EXPECT_EQ(InvokeId(5, OCUVANT_PROPERTY_GET).value.i, 45);
  EXPECT_EQ(InvokeId(2, OCUVANT_PROPERTY_PUT, {Str("usb#vid_1111 é")}).hr, 0);  // CameraIDIris
  EXPECT_EQ(Invoke("CameraIDIris", OCUVANT_PROPERTY_GET).text, "usb#vid_1111 é");
  // A null string is the empty string.
  EXPECT_EQ(Invoke("CameraIDIris", OCUVANT_PROPERTY_PUT, {Str(nullptr)}).hr, 0);
  EXPECT_EQ(Invoke("CameraIDIris", OCUVANT_PROPERTY_GET).text, "");
}

TEST_F(CAbiTest, MethodsByNameAndDispid) {
  Call version = InvokeId(36, OCUVANT_METHOD);
  EXPECT_EQ(version.hr, 0);
  EXPECT_EQ(version.value.type, OCUVANT_STRING);
  EXPECT_EQ(version.text, "");
  Call quality = Invoke("GetEnrollIrisQuality", OCUVANT_METHOD);
  std::string zeros = "0";
  for (int i = 1; i < 46; ++i) zeros += "-0";
  EXPECT_EQ(quality.text, zeros);
  EXPECT_EQ(Invoke("CaptureIrisImage", OCUVANT_METHOD, {Str("x.bmp")}).value.i, 0);
  EXPECT_EQ(InvokeId(35, OCUVANT_METHOD, {Int(3), Str("{}")}).value.i, 1);  // SetCameraParams
  Call about = InvokeId(-552, OCUVANT_METHOD);
  EXPECT_EQ(about.hr, 0);
  EXPECT_EQ(about.value.type, OCUVANT_VOID);
  // A configuration refused before any camera search: -200.
  ASSERT_EQ(Invoke("Burger", OCUVANT_PROPERTY_PUT, {Str("{\"with_small_iris\":\"1\"} x")}).hr, 0);
  EXPECT_EQ(InvokeId(10, OCUVANT_METHOD).value.i, -200);
  // Pointer arguments pass the type check; the configuration is refused first.
  const int32_t db[128] = {};
  ASSERT_EQ(Invoke("Burger", OCUVANT_PROPERTY_PUT,
                   {Str("{\"with_small_iris\":\"1\",\"with_q5_iris\":\"1\"}")})
                .hr,
            0);
  Call match = Invoke("MatchIris", OCUVANT_METHOD,
                      {Ptr(db), Int(1), Ptr(nullptr), Int(0), Ptr(db), Int(1), Int(0), Int(0)});
  EXPECT_EQ(match.hr, 0) << match.error;
  EXPECT_EQ(match.value.i, -200);
}

TEST_F(CAbiTest, StringResultsFitTheCallersBuffer) {
  OcuvantValue v{};
  char small[4];
  ASSERT_EQ(ocuvant_invoke(control_, "CameraIDInfrared", OCUVANT_PROPERTY_GET, nullptr, 0, &v,
                           small, sizeof small, nullptr, 0),
            0);
  EXPECT_EQ(v.s, small);
  EXPECT_STREQ(small, "usb");  // truncated and terminated
  // No room for the text: no pointer into memory that was not written.
  char untouched[8] = "abcdefg";
  v = Str("stale");
  ASSERT_EQ(ocuvant_invoke(control_, "CameraIDInfrared", OCUVANT_PROPERTY_GET, nullptr, 0, &v,
                           untouched, 0, nullptr, 0),
            0);
  EXPECT_EQ(v.type, OCUVANT_STRING);
  EXPECT_EQ(v.s, nullptr);
  EXPECT_STREQ(untouched, "abcdefg");
  v = Str("stale");
  ASSERT_EQ(ocuvant_invoke(control_, "GetVersion", OCUVANT_METHOD, nullptr, 0, &v, nullptr, 64,
                           nullptr, 0),
            0);
  EXPECT_EQ(v.s, nullptr);
  // No result wanted: the call still happens.
  const OcuvantValue five = Int(5);
  ASSERT_EQ(ocuvant_invoke(control_, "StringMode", OCUVANT_PROPERTY_PUT, &five, 1, nullptr, nullptr,
                           0, nullptr, 0),
            0);
  EXPECT_EQ(Invoke("StringMode", OCUVANT_PROPERTY_GET).value.i, 5);
}

TEST_F(CAbiTest, RefusesBadCallsWithAReasonAndCallsNothing) {
  Call unknown = Invoke("NoSuchMember", OCUVANT_METHOD);
  EXPECT_EQ(unknown.hr, DISP_E_UNKNOWNNAME);
  EXPECT_NE(unknown.error.find("NoSuchMember"), std::string::npos);
  EXPECT_EQ(unknown.value.type, OCUVANT_VOID);
  EXPECT_EQ(InvokeId(33, OCUVANT_METHOD).hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(InvokeId(1, OCUVANT_METHOD).hr, DISP_E_MEMBERNOTFOUND);  // a property
  EXPECT_EQ(Invoke("LogInfo", OCUVANT_METHOD, {Str("a"), Str("b")}).hr, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(InvokeId(35, OCUVANT_METHOD, {Int(0)}).hr, DISP_E_BADPARAMCOUNT);
  Call type = Invoke("SetCameraParams", OCUVANT_METHOD, {Str("0"), Str("{}")});
  EXPECT_EQ(type.hr, DISP_E_TYPEMISMATCH);
  EXPECT_NE(type.error.find("argument 1"), std::string::npos);
  EXPECT_EQ(Invoke("StringMode", OCUVANT_PROPERTY_PUT, {Str("1")}).hr, DISP_E_TYPEMISMATCH);
  OcuvantValue bogus = Int(1);
  bogus.type = static_cast<OcuvantType>(9);
  EXPECT_EQ(Invoke("StringMode", OCUVANT_PROPERTY_PUT, {bogus}).hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Invoke("StringMode", OCUVANT_PROPERTY_GET).value.i, 0);

  // Null and invalid arguments of the C calls themselves.
  char error[64] = "";
  OcuvantValue v = Int(77);
  EXPECT_EQ(ocuvant_invoke(nullptr, "GetVersion", OCUVANT_METHOD, nullptr, 0, &v, nullptr, 0, error,
                           sizeof error),
            E_POINTER);
  EXPECT_STRNE(error, "");
  EXPECT_EQ(v.i, 77);  // result untouched
  EXPECT_EQ(
      ocuvant_invoke_dispid(nullptr, 36, OCUVANT_METHOD, nullptr, 0, &v, nullptr, 0, nullptr, 0),
      E_POINTER);
  EXPECT_EQ(
      ocuvant_invoke(control_, nullptr, OCUVANT_METHOD, nullptr, 0, &v, nullptr, 0, nullptr, 0),
      E_POINTER);
  EXPECT_EQ(ocuvant_invoke(control_, "CaptureIrisImage", OCUVANT_METHOD, nullptr, 1, &v, nullptr, 0,
                           nullptr, 0),
            E_POINTER);
  EXPECT_EQ(ocuvant_invoke(control_, "GetVersion", OCUVANT_METHOD, nullptr, -1, &v, nullptr, 0,
                           nullptr, 0),
            kInvalidArg);
  // An invoke kind outside the enumeration is refused, not taken for a method call.
  EXPECT_EQ(ocuvant_invoke(control_, "StopIris", static_cast<OcuvantInvokeKind>(7), nullptr, 0, &v,
                           nullptr, 0, error, sizeof error),
            kInvalidArg);
  EXPECT_EQ(v.i, 77);
  // A reason longer than the buffer is cut and terminated.
  char tiny[6];
  EXPECT_EQ(ocuvant_invoke(control_, "NoSuchMember", OCUVANT_METHOD, nullptr, 0, nullptr, nullptr,
                           0, tiny, sizeof tiny),
            DISP_E_UNKNOWNNAME);
  EXPECT_EQ(std::strlen(tiny), 5u);
}

// What the C callback received, copied while it ran.
struct Heard {
  int32_t dispid;
  std::string name;
  std::vector<OcuvantType> types;
  std::vector<int32_t> ints;
  std::vector<std::string> strings;
  std::vector<int32_t> firstInts;  // first int32 behind each pointer argument
  std::thread::id thread;
};

struct Listener {
  std::mutex mutex;
  std::vector<Heard> heard;
  static void Callback(void* user, int32_t dispid, const char* name, const OcuvantValue* args,
                       int argc) {
    auto* self = static_cast<Listener*>(user);
    Heard h{dispid, name, {}, {}, {}, {}, std::this_thread::get_id()};
    for (int i = 0; i < argc; ++i) {
      h.types.push_back(args[i].type);
      if (args[i].type == OCUVANT_INT32) h.ints.push_back(args[i].i);
      if (args[i].type == OCUVANT_STRING) h.strings.push_back(args[i].s);
      if (args[i].type == OCUVANT_INT32_PTR) h.firstInts.push_back(args[i].p[0]);
    }
    std::lock_guard<std::mutex> lock(self->mutex);
    self->heard.push_back(std::move(h));
  }
  std::vector<Heard> Take() {
    std::vector<Heard> out;
    std::lock_guard<std::mutex> lock(mutex);
    out.swap(heard);
    return out;
  }
};

TEST_F(CAbiTest, EventsReachTheCallbackWithTheirArguments) {
  Listener listener;
  ocuvant_set_event_callback(control_, &Listener::Callback, &listener);
  // Log lines of a refused configuration fire LogInfo during the call.
  ASSERT_EQ(Invoke("Burger", OCUVANT_PROPERTY_PUT,
                   {Str("{\"log\":\"1\",\"with_small_iris\":\"1\",\"with_big_iris\":\"1\"}")})
                .hr,
            0);
  ASSERT_EQ(Invoke("InitIris", OCUVANT_METHOD).value.i, -200);
  std::vector<Heard> heard = listener.Take();
  ASSERT_EQ(heard.size(), 2u);  // "log" was 0 when the configuration line would fire
  EXPECT_EQ(heard[0].dispid, 1);
  EXPECT_EQ(heard[0].name, "LogInfo");
  EXPECT_EQ(heard[0].types, (std::vector<OcuvantType>{OCUVANT_STRING, OCUVANT_STRING}));
  EXPECT_EQ(heard[0].strings, (std::vector<std::string>{"305参数", "BIG虹膜"}));
  EXPECT_EQ(heard[1].strings[1], "SMALL虹膜");

  // A message posted from another thread fires its event while the host pumps.
  COcuvantCtrl* ctrl = g_control.load();
  std::thread([ctrl] { ctrl->PostControlMessage(WM_CAMERA_CLOSED, 3); }).join();
  EXPECT_TRUE(listener.Take().empty());
  ocuvant_pump(control_, 50);
  heard = listener.Take();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].dispid, 10);
  EXPECT_EQ(heard[0].name, "CloseCameraEvent");
  EXPECT_EQ(heard[0].ints, (std::vector<int32_t>{3, 0}));
  EXPECT_EQ(heard[0].thread, std::this_thread::get_id());

  // Template pointers point into the control; PhotoCaptureEvent may come from any thread.
  ctrl->m_big.templates[EyeLeft][0] = 0x0A;
  ctrl->FireEnrollLeftIrisEvent(1);
  ctrl->FireEnrollLeftIrisStrEvent(1, true);
  std::thread other([ctrl] { ctrl->FirePhotoCaptureEvent(2, "photo.bmp"); });
  const std::thread::id otherId = other.get_id();
  other.join();
  heard = listener.Take();
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0].name, "EnrollLeftIrisEvent");
  EXPECT_EQ(heard[0].dispid, 3);
  EXPECT_EQ(heard[0].firstInts, (std::vector<int32_t>{0, 0x0A, 0}));
  EXPECT_EQ(heard[0].ints, (std::vector<int32_t>{1}));
  EXPECT_EQ(heard[1].name, "EnrollLeftIrisStrEvent");
  ASSERT_EQ(heard[1].strings.size(), 3u);
  EXPECT_EQ(heard[1].strings[0], "");  // all zero: empty
  EXPECT_EQ(heard[1].strings[1].size(), 1024u);
  EXPECT_EQ(heard[1].strings[1].substr(0, 4), "0a00");
  EXPECT_EQ(heard[2].name, "PhotoCaptureEvent");
  EXPECT_EQ(heard[2].strings, (std::vector<std::string>{"photo.bmp"}));
  EXPECT_EQ(heard[2].thread, otherId);

  // Without a callback events are dropped.
  ocuvant_set_event_callback(control_, nullptr, &listener);
  ctrl->FireCloseCameraEvent(0, 0);
  EXPECT_TRUE(listener.Take().empty());
}

// Each callback checks that it was handed its own listener.
struct Paired {
  std::atomic<int> calls{0}, mismatched{0};
  int id = 0;
  template <int Id>
  static void Callback(void* user, int32_t, const char*, const OcuvantValue*, int) {
    auto* self = static_cast<Paired*>(user);
    self->calls++;
    if (self->id != Id) self->mismatched++;
  }
};

TEST_F(CAbiTest, CallbackAndUserChangeTogetherWhileEventsFire) {
  Paired a, b;
  a.id = 1;
  b.id = 2;
  COcuvantCtrl* ctrl = g_control.load();
  std::atomic<bool> stop{false};
  std::thread firing([&] {
    while (!stop.load()) ctrl->FirePhotoCaptureEvent(1, "x");  // any thread may fire it
  });
  // Swap until both listeners have heard a share (bounded, should the thread starve).
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (int i = 0; (a.calls < 100 || b.calls < 100) && std::chrono::steady_clock::now() < end; ++i) {
    if (i % 2) {
      ocuvant_set_event_callback(control_, &Paired::Callback<1>, &a);
    } else {
      ocuvant_set_event_callback(control_, &Paired::Callback<2>, &b);
    }
  }
  ocuvant_set_event_callback(control_, nullptr, nullptr);
  stop = true;
  firing.join();
  EXPECT_GE(a.calls, 100);
  EXPECT_GE(b.calls, 100);
  EXPECT_EQ(a.mismatched + b.mismatched, 0);
}

}  // namespace
}  // namespace ocuvant::control
