// The dispatch table against the published interface, and Invoke's refusals.
#include <gtest/gtest.h>

#include <set>

#include "control/dispatch_table.h"
#include "control/events.h"
#include "control/invoke.h"
#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {
namespace {

using VT = ValueType;

struct Expected {
  int32_t dispid;
  const char* name;
  MemberKind kind;
  VT type;
  std::vector<VT> args;
};

// _DOcuvant and _DOcuvantEvents as published to hosts.
const std::vector<Expected> kInterface = {
    {1, "StringMode", MemberKind::Property, VT::Int32, {VT::Int32}},
    {2, "CameraIDIris", MemberKind::Property, VT::String, {VT::String}},
    {3, "EnableVoice", MemberKind::Property, VT::Int32, {VT::Int32}},
    {4, "EnrollIrisTimeout", MemberKind::Property, VT::Int32, {VT::Int32}},
    {5, "MatchIrisTimeout", MemberKind::Property, VT::Int32, {VT::Int32}},
    {6, "CameraIDVisible", MemberKind::Property, VT::String, {VT::String}},
    {7, "CameraIDInfrared", MemberKind::Property, VT::String, {VT::String}},
    {8, "Burger", MemberKind::Property, VT::String, {VT::String}},
    {9, "EnumCameras", MemberKind::Method, VT::String, {VT::Int32}},
    {10, "InitIris", MemberKind::Method, VT::Int32, {}},
    {11, "EnrollBothIris", MemberKind::Method, VT::Int32, {}},
    {12, "StopIris", MemberKind::Method, VT::Int32, {}},
    {13, "CloseIris", MemberKind::Method, VT::Int32, {}},
    {14, "CaptureIrisImage", MemberKind::Method, VT::Int32, {VT::String}},
    {15, "InitCaptureIris", MemberKind::Method, VT::Int32, {}},
    {16, "CheckDevStatus", MemberKind::Method, VT::Int32, {}},
    {17, "GetEnrollIrisQuality", MemberKind::Method, VT::String, {}},
    {18, "EnrollLeftIris", MemberKind::Method, VT::Int32, {}},
    {19, "EnrollRightIris", MemberKind::Method, VT::Int32, {}},
    {20,
     "MatchIris",
     MemberKind::Method,
     VT::Int32,
     {VT::Int32Ptr, VT::Int32, VT::Int32Ptr, VT::Int32, VT::Int32Ptr, VT::Int32, VT::Int32,
      VT::Int32}},
    {21, "InitBkPhotoCapture", MemberKind::Method, VT::Int32, {VT::Int32}},
    {22, "CloseBkPhotoCapture", MemberKind::Method, VT::Int32, {}},
    {23, "StopBkPhotoCapture", MemberKind::Method, VT::Int32, {}},
    {24, "GetMatchIrisQuality", MemberKind::Method, VT::String, {}},
    {25, "SetEnrollIrisQuality", MemberKind::Method, VT::Int32, std::vector<VT>(6, VT::Int32)},
    {26, "SetMatchIrisQuality", MemberKind::Method, VT::Int32, std::vector<VT>(6, VT::Int32)},
    {27, "InitPhotoCapture", MemberKind::Method, VT::Int32, {VT::Int32}},
    {28, "PhotoCapture", MemberKind::Method, VT::Int32, {VT::Int32, VT::String}},
    {29, "ClosePhotoCapture", MemberKind::Method, VT::Int32, {}},
    {30, "InitInfraredFace", MemberKind::Method, VT::Int32, {}},
    {31, "EnrollInfraredFace", MemberKind::Method, VT::Int32, {}},
    {32, "CloseInfraredFace", MemberKind::Method, VT::Int32, {}},
    {35, "SetCameraParams", MemberKind::Method, VT::Int32, {VT::Int32, VT::String}},
    {36, "GetVersion", MemberKind::Method, VT::String, {}},
    {-552, "AboutBox", MemberKind::Method, VT::Void, {}},
    {1, "LogInfo", MemberKind::Event, VT::Void, {VT::String, VT::String}},
    {2,
     "EnrollBothIrisEvent",
     MemberKind::Event,
     VT::Void,
     {VT::Int32Ptr, VT::Int32Ptr, VT::Int32Ptr, VT::Int32Ptr, VT::Int32Ptr, VT::Int32Ptr,
      VT::Int32}},
    {3,
     "EnrollLeftIrisEvent",
     MemberKind::Event,
     VT::Void,
     {VT::Int32Ptr, VT::Int32Ptr, VT::Int32Ptr, VT::Int32}},
    {4,
     "EnrollRightIrisEvent",
     MemberKind::Event,
     VT::Void,
     {VT::Int32Ptr, VT::Int32Ptr, VT::Int32Ptr, VT::Int32}},
    {5, "MatchIrisEvent", MemberKind::Event, VT::Void, std::vector<VT>(4, VT::Int32)},
    {6, "PhotoCaptureEvent", MemberKind::Event, VT::Void, {VT::Int32, VT::String}},
    {7,
     "EnrollBothIrisStrEvent",
     MemberKind::Event,
     VT::Void,
     {VT::String, VT::String, VT::String, VT::String, VT::String, VT::String, VT::Int32}},
    {8,
     "EnrollLeftIrisStrEvent",
     MemberKind::Event,
     VT::Void,
     {VT::String, VT::String, VT::String, VT::Int32}},
    {9,
     "EnrollRightIrisStrEvent",
     MemberKind::Event,
     VT::Void,
     {VT::String, VT::String, VT::String, VT::Int32}},
    {10, "CloseCameraEvent", MemberKind::Event, VT::Void, {VT::Int32, VT::Int32}},
    {11, "InitCameraEvent", MemberKind::Event, VT::Void, {VT::Int32, VT::Int32}},
};

size_t CountNames(const char* names) {
  if (names == nullptr || *names == '\0') return 0;
  size_t n = 1;
  for (const char* c = names; *c; ++c) n += *c == ',';
  return n;
}

TEST(DispatchTable, HoldsExactlyThePublishedMembers) {
  auto table = DispatchTable();
  ASSERT_EQ(table.size(), kInterface.size());
  std::set<std::pair<bool, int32_t>> ids;
  std::set<std::string> names;
  for (const Expected& x : kInterface) {
    const DispatchEntry* e =
        x.kind == MemberKind::Event ? FindEvent(x.dispid) : FindMember(x.dispid);
    ASSERT_NE(e, nullptr) << x.name;
    EXPECT_STREQ(e->name, x.name);
    EXPECT_EQ(e->kind, x.kind) << x.name;
    EXPECT_EQ(e->type, x.type) << x.name;
    EXPECT_EQ(std::vector<VT>(e->args, e->args + e->argCount), x.args) << x.name;
    if (x.kind != MemberKind::Property) {
      EXPECT_EQ(CountNames(e->argNames), e->argCount) << x.name;
    }
    EXPECT_EQ(x.kind == MemberKind::Event ? FindEvent(x.name) : FindMember(x.name), e);
    EXPECT_TRUE(ids.insert({x.kind == MemberKind::Event, x.dispid}).second) << x.name;
    EXPECT_TRUE(names.insert(x.name).second) << x.name;
    EXPECT_EQ(e->call == nullptr, x.kind == MemberKind::Event) << x.name;
    EXPECT_EQ(e->put != nullptr, x.kind == MemberKind::Property) << x.name;
  }
}

// Records the generic form of every event.
class Recorder final : public GenericEventSink {
 public:
  struct Fired {
    int32_t dispid;
    std::string name;
    std::vector<Value> args;
  };
  std::vector<Fired> fired;
  void OnEvent(int32_t dispid, const char* name, const std::vector<Value>& args) override {
    fired.push_back({dispid, name, args});
  }
};

TEST(DispatchTable, GenericEventsCarryTheTableTypes) {
  Recorder r;
  EventSink& s = r;
  int32_t t[256] = {};
  s.LogInfo("tag", "log");
  s.EnrollBothIrisEvent(t, t, t, t, t, t, 1);
  s.EnrollLeftIrisEvent(t, t, t, 1);
  s.EnrollRightIrisEvent(t, t, t, 1);
  s.MatchIrisEvent(1, 2, 3, 4);
  s.PhotoCaptureEvent(2, "f.bmp");
  s.EnrollBothIrisStrEvent("", "", "", "", "", "", 1);
  s.EnrollLeftIrisStrEvent("", "", "", 1);
  s.EnrollRightIrisStrEvent("", "", "", 1);
  s.CloseCameraEvent(0, 0);
  s.InitCameraEvent(0, 0);
  ASSERT_EQ(r.fired.size(), 11u);
  for (const auto& f : r.fired) {
    const DispatchEntry* e = FindEvent(f.name);
    ASSERT_NE(e, nullptr) << f.name;
    EXPECT_EQ(f.dispid, e->dispid);
    ASSERT_EQ(f.args.size(), e->argCount) << f.name;
    for (size_t i = 0; i < f.args.size(); ++i) EXPECT_EQ(TypeOf(f.args[i]), e->args[i]) << f.name;
  }
}

TEST(Invoke, RefusesWrongNamesKindsCountsAndTypesWithoutCalling) {
  auto c = COcuvantCtrl::Create();
  EXPECT_EQ(Invoke(*c, "NoSuchThing", InvokeKind::Method, {}).hr, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(Invoke(*c, 33, InvokeKind::Method, {}).hr, DISP_E_MEMBERNOTFOUND);
  InvokeResult ev = Invoke(*c, "LogInfo", InvokeKind::Method, {Value("a"), Value("b")});
  EXPECT_EQ(ev.hr, DISP_E_UNKNOWNNAME);
  EXPECT_NE(ev.error.find("event"), std::string::npos);
  EXPECT_EQ(Invoke(*c, "InitIris", InvokeKind::PropertyGet, {}).hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(*c, "Burger", InvokeKind::Method, {}).hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(*c, "SetCameraParams", InvokeKind::Method, {Value(0)}).hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(*c, 35, InvokeKind::Method, {Value(0), Value("a"), Value(1)}).hr,
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(*c, "Burger", InvokeKind::PropertyGet, {Value(1)}).hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(*c, "Burger", InvokeKind::PropertyPut, {}).hr, DISP_E_BADPARAMCOUNT);
  // A string where an int is expected, and the reverse: nothing is stored.
  InvokeResult bad = Invoke(*c, "SetCameraParams", InvokeKind::Method, {Value("0"), Value("x")});
  EXPECT_EQ(bad.hr, DISP_E_TYPEMISMATCH);
  EXPECT_NE(bad.error.find("argument 1"), std::string::npos);
  EXPECT_EQ(c->m_cameraParams[0], session::kDefaultIrisCameraParams);
  EXPECT_EQ(Invoke(*c, "Burger", InvokeKind::PropertyPut, {Value(5)}).hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Invoke(*c, "StringMode", InvokeKind::PropertyPut, {Value()}).hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Invoke(*c, "MatchIris", InvokeKind::Method,
                   {Value(1), Value(1), Value(1), Value(1), Value(1), Value(1), Value(1), Value(1)})
                .hr,
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(c->GetBurger(), session::kDefaultBurger);
  EXPECT_FALSE(c->IsModified());
}

TEST(Invoke, CallsMethodsAndPropertiesByDispidAndName) {
  auto c = COcuvantCtrl::Create();
  EXPECT_EQ(Invoke(*c, 35, InvokeKind::Method, {Value(1), Value("{}")}).value, Value(1));
  EXPECT_EQ(c->m_cameraParams[1], "{}");
  EXPECT_EQ(Invoke(*c, "GetVersion", InvokeKind::Method, {}).value, Value(std::string()));
  EXPECT_EQ(Invoke(*c, -552, InvokeKind::Method, {}).value, Value());
  ASSERT_TRUE(Invoke(*c, 2, InvokeKind::PropertyPut, {Value("cam")}).ok());
  EXPECT_EQ(Invoke(*c, "CameraIDIris", InvokeKind::PropertyGet, {}).value, Value("cam"));
  const int32_t db[128] = {};
  InvokeResult r = Invoke(*c, "MatchIris", InvokeKind::Method,
                          {Value(db), Value(1), Value(static_cast<const int32_t*>(nullptr)),
                           Value(0), Value(db), Value(0), Value(0), Value(0)});
  ASSERT_TRUE(r.ok()) << r.error;
  // Default configuration: Big only, whose count is 0.
  EXPECT_EQ(r.value, Value(-1));
}

}  // namespace
}  // namespace ocuvant::control
