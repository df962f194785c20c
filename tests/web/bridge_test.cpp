// The dispatch bridge over HTTP: every member by name and DISPID, refusals with
// reasons (and nothing called), MatchIris databases kept until its event.
#include <chrono>
#include <thread>

#include "control/dispatch_table.h"
#include "hosts/ocuvant/json_line.h"
#include "web_fixture.h"

namespace ocuvant::web::testing {
namespace {

using control::MemberKind;
using control::ValueType;

using Bridge = WebFixture;

TEST_F(Bridge, ReachesEveryPropertyByNameAndDispid) {
  for (const control::DispatchEntry& e : control::DispatchTable()) {
    if (e.kind != MemberKind::Property) continue;
    const Reply byName = Call(e.name);
    const Reply byId = Call(std::to_string(e.dispid));
    ASSERT_EQ(byName.status, 200) << e.name << byName.body;
    EXPECT_EQ(byName.json["result"], byId.json["result"]) << e.name;
    const Json::Value old = byName.json["result"];
    // Put a new value and read it back, then restore the old one.
    const std::string fresh = e.type == ValueType::Int32 ? "[7]" : "[\"web test\"]";
    ASSERT_EQ(Call(e.name, fresh).status, 200) << e.name;
    const Reply back = Call(e.name);
    if (e.type == ValueType::Int32) {
      EXPECT_EQ(back.json["result"].asInt(), 7) << e.name;
    } else {
      EXPECT_EQ(back.json["result"].asString(), "web test") << e.name;
    }
    Json::StreamWriterBuilder w;
    ASSERT_EQ(Call(e.name, host::Cat("[", Json::writeString(w, old), "]")).status, 200) << e.name;
  }
}

TEST_F(Bridge, CallsMethodsWithTheResultsOfTheDispatchTable) {
  EXPECT_EQ(Call("GetVersion").json["result"], "");
  EXPECT_EQ(Call("35", "[1, \"{}\"]").json["result"], 1);  // SetCameraParams
  EXPECT_TRUE(Call("-552").json["result"].isNull());       // AboutBox
  EXPECT_TRUE(Call("GetEnrollIrisQuality").json["result"].isString());
  EXPECT_EQ(Call("GetMatchIrisQuality").json["result"], Call("24").json["result"]);
  // The simulator's iris camera is in the list the control sees.
  const Reply cameras = Call("EnumCameras", "[0]");
  ASSERT_EQ(cameras.status, 200);
  EXPECT_FALSE(cameras.json["result"].asString().empty());
  // Big only by default: a Big database of zero templates is refused by the control.
  const Reply match = Call("MatchIris", "[null, 0, [], 0, null, 0, 0, 0]");
  ASSERT_EQ(match.status, 200) << match.body;
  EXPECT_EQ(match.json["result"], -1);
  // The listing holds the whole table.
  const Reply members = Get("/api/members");
  ASSERT_EQ(members.status, 200);
  EXPECT_EQ(members.json.size(), control::DispatchTable().size());
}

TEST_F(Bridge, RefusesBadRequestsWithReasonsAndCallsNothing) {
  ASSERT_EQ(Call("EnrollIrisTimeout", "[30]").status, 200);
  const struct {
    const char* body;
    const char* reason;
  } kBad[] = {
      {"not json", "not JSON"},
      {"[1,2]", "must be an object"},
      {R"({"name":"EnrollIrisTimeout","args":[3],"x":1})", "unknown key"},
      {R"({"name":"NoSuch","args":[]})", "unknown member"},
      {R"({"name":"MatchIrisEvent","args":[]})", "event cannot be invoked"},
      {R"({"name":999,"args":[]})", "no member with DISPID"},
      {R"({"name":true,"args":[]})", "member name or a DISPID"},
      {R"({"name":"EnrollIrisTimeout","args":3})", "must be an array"},
      {R"({"name":"EnrollIrisTimeout","args":[1,2]})", "is a property"},
      {R"({"name":"EnrollIrisTimeout","args":["3"]})", "expected a 32-bit integer"},
      {R"({"name":"EnrollIrisTimeout","args":[3.5]})", "expected a 32-bit integer"},
      {R"({"name":"EnrollIrisTimeout","args":[4294967296]})", "expected a 32-bit integer"},
      {R"({"name":"Burger","args":[5]})", "expected a string"},
      {R"({"name":"SetCameraParams","args":[0]})", "takes 2 argument(s), got 1"},
      {R"({"name":"MatchIris","args":[null,0,[1,2],1,null,0,0,0]})",
       "IrisDatabaseBig_Count is 1 templates but IrisDatabaseBig holds 0"},
      {R"({"name":"MatchIris","args":[null,0,"zz",0,null,0,0,0]})", "8 digits"},
      {R"({"name":"MatchIris","args":[null,0,"zzzzzzzz",0,null,0,0,0]})", "hexadecimal digit"},
      {R"({"name":"MatchIris","args":[null,-1,null,0,null,0,0,0]})", "must not be negative"},
      {R"({"name":"MatchIris","args":[{},0,null,0,null,0,0,0]})", "expected null, an array"},
  };
  for (const auto& b : kBad) {
    const Reply r = Post(b.body);
    EXPECT_EQ(r.status, 400) << b.body;
    EXPECT_NE(r.json["error"].asString().find(b.reason), std::string::npos)
        << b.body << " -> " << r.body;
  }
  EXPECT_EQ(Call("EnrollIrisTimeout").json["result"], 30);
  // The server still answers after all of them.
  EXPECT_EQ(Call("GetVersion").status, 200);
}

TEST_F(Bridge, KeepsMatchDatabasesUntilMatchIrisEvent) {
  ASSERT_EQ(Call("MatchIrisTimeout", "[1]").status, 200);
  ASSERT_EQ(Call("InitIris").json["result"], 1);
  // Two templates nobody has: the match runs until its time-out.
  std::string hex(2 * 1024, '5');
  const Reply started = Call("MatchIris", host::Cat("[null, 0, \"", hex, "\", 2, null, 0, 0, 0]"));
  ASSERT_EQ(started.json["result"], 1) << started.body;
  EXPECT_EQ(control->KeptDatabases(), 1u);
  const std::string text = ReadStream("/api/events", Auth(), [](const std::string& t) {
    return t.find("\"MatchIrisEvent\"") != std::string::npos;
  });
  ASSERT_NE(text.find("\"MatchIrisEvent\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"MatchResult\":"), std::string::npos);
  EXPECT_EQ(control->KeptDatabases(), 0u);
  Call("CloseIris");
}

TEST_F(Bridge, AClientGoneMidStreamStallsNothingAndStopIsQuick) {
  // A client that reads a little of the event stream and goes away.
  std::thread gone([&] {
    ReadStream(
        "/api/events", Auth(), [](const std::string& t) { return !t.empty(); }, 5);
  });
  gone.join();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Call("GetVersion").status, 200);
  // A client that stays: Stop still returns promptly.
  std::thread stays([&] {
    ReadStream(
        "/api/events", Auth(), [](const std::string&) { return false; }, 30);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto t0 = std::chrono::steady_clock::now();
  server->Stop();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  stays.join();
  std::printf("stop with an open event stream: %lld ms\n", static_cast<long long>(ms));
  // Far below the 5 s a parked connection could hold it without the short time-outs.
  EXPECT_LT(ms, 2500);
}

}  // namespace
}  // namespace ocuvant::web::testing
