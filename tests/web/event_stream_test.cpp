// Event ids, resumption with Last-Event-ID, the gap after an overflow, and the take
// over of the streams by a newer viewer page.
#include <thread>

#include "hosts/ocuvant/iris_options.h"
#include "hosts/web/event_stream.h"
#include "web_fixture.h"

namespace ocuvant::web::testing {
namespace {

TEST(EventStream, NumbersEventsAndResumesAfterAnId) {
  EventStream s;
  EXPECT_EQ(s.Publish("{\"a\":1}"), 1u);
  EXPECT_EQ(s.Publish("{\"a\":2}"), 2u);
  EXPECT_EQ(s.Publish("{\"a\":3}"), 3u);
  uint64_t last = 0;
  EXPECT_EQ(s.Since(1, &last), "id: 2\ndata: {\"a\":2}\n\nid: 3\ndata: {\"a\":3}\n\n");
  EXPECT_EQ(last, 3u);
  EXPECT_EQ(s.Since(3, &last), "");
  EXPECT_EQ(last, 3u);
  EXPECT_FALSE(s.WaitAfter(3, 10));
  EXPECT_TRUE(s.WaitAfter(2, 10));
  // An id from a previous run (newer than any here) starts from the oldest kept.
  EXPECT_EQ(s.Since(99, &last).substr(0, 6), "id: 1\n");
  EXPECT_EQ(last, 3u);
}

TEST(EventStream, ReportsEventsLostFromTheRing) {
  EventStream s;
  for (size_t i = 0; i < EventStream::kKept + 10; ++i) s.Publish("{}");
  uint64_t last = 0;
  const std::string text = s.Since(0, &last);
  EXPECT_EQ(text.substr(0, 30), "event: gap\ndata: {\"lost\":10}\n\n");
  EXPECT_NE(text.find("id: 11\n"), std::string::npos);
  EXPECT_EQ(last, EventStream::kKept + 10);
  // A page asks in slices.
  s.Since(10, &last, 5);
  EXPECT_EQ(last, 15u);
}

using EventsOverHttp = WebFixture;

TEST_F(EventsOverHttp, CarryIdsAndResumeWithLastEventId) {
  events.Publish("{\"name\":\"first\"}");
  events.Publish("{\"name\":\"second\"}");
  events.Publish("{\"name\":\"third\"}");
  httplib::Headers h = Auth();
  h.emplace("Last-Event-ID", "1");
  const std::string text = ReadStream(
      "/api/events", h, [](const std::string& t) { return t.find("third") != std::string::npos; });
  EXPECT_EQ(text.find("first"), std::string::npos) << text;
  EXPECT_NE(text.find("id: 2\ndata: {\"name\":\"second\"}"), std::string::npos) << text;
  EXPECT_NE(text.find("retry: 1000"), std::string::npos);
  // The same with the query form a script may use.
  const std::string q = ReadStream("/api/events?last=2", Auth(), [](const std::string& t) {
    return t.find("third") != std::string::npos;
  });
  EXPECT_EQ(q.find("second"), std::string::npos) << q;
}

TEST_F(EventsOverHttp, ControlEventsArriveWithDispidNameAndArguments) {
  std::string config = host::ConfigurationFor(1);
  config.replace(config.find("\"log\":\"0\""), 9, "\"log\":\"1\"");
  Json::Value args(Json::arrayValue);
  args.append(config);
  ASSERT_EQ(Call("Burger", Json::writeString(Json::StreamWriterBuilder(), args)).status, 200);
  ASSERT_EQ(Call("InitIris").json["result"], 1);
  Call("CloseIris");
  const std::string text = ReadStream("/api/events", Auth(), [](const std::string& t) {
    return t.find("\"CloseCameraEvent\"") != std::string::npos;
  });
  EXPECT_NE(text.find("{\"dispid\":"), std::string::npos) << text;
  EXPECT_NE(text.find("\"name\":\"LogInfo\",\"args\":{\"Tag\":"), std::string::npos) << text;
  EXPECT_NE(text.find("\"name\":\"CloseCameraEvent\",\"args\":{\"CameraKind\":0,"),
            std::string::npos)
      << text;
}

TEST_F(EventsOverHttp, ANewViewerTakesTheStreamsOver) {
  std::string first;
  std::thread a([&] {
    first = ReadStream("/api/events?viewer=a", Auth(), [](const std::string& t) {
      return t.find("event: replaced") != std::string::npos;
    });
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string second = ReadStream("/api/events?viewer=b", Auth(), [](const std::string& t) {
    return t.find("ocuvant events") != std::string::npos;
  });
  a.join();
  EXPECT_NE(first.find("event: replaced"), std::string::npos) << first;
  EXPECT_EQ(second.find("replaced"), std::string::npos);
}

}  // namespace
}  // namespace ocuvant::web::testing
