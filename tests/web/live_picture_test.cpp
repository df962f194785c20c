// The live picture: frames encoded once for all viewers, nothing copied without a
// viewer, the eye rectangles drawn, and the stream over HTTP; the gallery's files.
#include <turbojpeg.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "hosts/ocuvant/enrollment_file.h"
#include "hosts/web/gallery.h"
#include "hosts/web/mjpeg_stream.h"
#include "hosts/web/serve_session.h"
#include "web_fixture.h"

namespace ocuvant::web::testing {
namespace {

// A bottom-up BGR frame of one colour with its first three stored rows (the bottom)
// white.
std::vector<uint8_t> Frame(int w, int h) {
  std::vector<uint8_t> f(size_t(w) * h * 3, 100);
  std::fill(f.begin(), f.begin() + size_t(w) * 9, uint8_t{255});
  return f;
}

// Decoded RGB of a JPEG; width and height out.
std::vector<uint8_t> Decode(const std::string& jpeg, int* w, int* h) {
  tjhandle tj = tjInitDecompress();
  int sub = 0, space = 0;
  auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
  tjDecompressHeader3(tj, data, jpeg.size(), w, h, &sub, &space);
  std::vector<uint8_t> rgb(size_t(*w) * *h * 3);
  tjDecompress2(tj, data, jpeg.size(), rgb.data(), *w, 0, *h, TJPF_RGB, 0);
  tjDestroy(tj);
  return rgb;
}

TEST(LivePicture, EncodesDownscaledFramesOnlyForViewers) {
  FrameHub hub;
  const std::vector<uint8_t> f = Frame(1920, 1080);
  hub.OnFrame(f.data(), long(f.size()), 1920, 1080, capture::IrisFrames);
  uint64_t seq = 0;
  EXPECT_EQ(hub.Next(&seq, 100), nullptr);  // no viewer: nothing copied or encoded
  EXPECT_EQ(hub.GetStats().framesSeen, 1u);
  EXPECT_EQ(hub.GetStats().framesEncoded, 0u);
  hub.AddViewer();
  hub.OnFrame(f.data(), long(f.size()), 1920, 1080, capture::IrisFrames);
  auto jpeg = hub.Next(&seq, 2000);
  ASSERT_NE(jpeg, nullptr);
  int w = 0, h = 0;
  std::vector<uint8_t> rgb = Decode(*jpeg, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  // The bottom stored row is the picture's last row.
  EXPECT_GT(rgb[(size_t(359) * 640 + 320) * 3], 200);
  EXPECT_LT(rgb[(size_t(100) * 640 + 320) * 3], 130);
  // A short frame is not read.
  hub.OnFrame(f.data(), 1000, 1920, 1080, capture::IrisFrames);
  EXPECT_EQ(hub.Next(&seq, 100), nullptr);
  // Photo frames keep their aspect: 1280 x 720 -> 640 x 360, 640 x 480 as it is.
  const std::vector<uint8_t> p = Frame(640, 480);
  hub.OnFrame(p.data(), long(p.size()), 640, 480, capture::SnapshotOnly);
  jpeg = hub.Next(&seq, 2000);
  ASSERT_NE(jpeg, nullptr);
  Decode(*jpeg, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  hub.RemoveViewer();
}

TEST(LivePicture, DrawsTheEyeRectanglesOfTheKindColouredByResult) {
  FrameHub hub;
  hub.AddViewer();
  const std::vector<uint8_t> f = Frame(1920, 1080);
  uint64_t seq = 0;
  int w = 0, h = 0;
  // Small (960 x 960): the right eye's rectangle starts at column 0, the left eye's
  // at 960 in the full frame, from row 60: 320 and 20 in the picture.
  hub.SetOverlay(0, -1, 1);
  hub.OnFrame(f.data(), long(f.size()), 1920, 1080, capture::IrisFrames);
  auto jpeg = hub.Next(&seq, 2000);
  ASSERT_NE(jpeg, nullptr);
  std::vector<uint8_t> rgb = Decode(*jpeg, &w, &h);
  const uint8_t* leftEdge = &rgb[(size_t(180) * 640 + 320) * 3];  // rejected: red
  EXPECT_GT(leftEdge[0], 180);
  EXPECT_LT(leftEdge[2], 120);
  const uint8_t* rightEdge = &rgb[(size_t(180) * 640 + 2) * 3];  // accepted: green
  EXPECT_GT(rightEdge[1], 180);
  EXPECT_LT(rightEdge[0], 100);
  // No session armed: no rectangles.
  hub.SetOverlay(-1, 0, 0);
  hub.OnFrame(f.data(), long(f.size()), 1920, 1080, capture::IrisFrames);
  jpeg = hub.Next(&seq, 2000);
  ASSERT_NE(jpeg, nullptr);
  rgb = Decode(*jpeg, &w, &h);
  EXPECT_NEAR(rgb[(size_t(180) * 640 + 320) * 3], 100, 12);
  hub.RemoveViewer();
}

TEST(LivePicture, ASlowViewerSkipsFramesAndHoldsNobodyUp) {
  FrameHub hub;
  hub.AddViewer();
  const std::vector<uint8_t> f = Frame(1920, 1080);
  // The streaming side never waits for a viewer: 200 frames as fast as it can go.
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 200; ++i)
    hub.OnFrame(f.data(), long(f.size()), 1920, 1080, capture::IrisFrames);
  const double perFrameMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() /
      200;
  std::printf("copy into the slot: %.3f ms per frame\n", perFrameMs);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // A viewer that comes back late gets the newest frame, not a backlog.
  uint64_t seq = 0;
  ASSERT_NE(hub.Next(&seq, 2000), nullptr);
  EXPECT_EQ(hub.Next(&seq, 50), nullptr);
  EXPECT_EQ(hub.GetStats().framesSeen, 200u);
  hub.RemoveViewer();
}

TEST(GalleryFiles, SavesEnrollmentFilesUnderFreeNamesAndBuildsTheDatabase) {
  const std::string dir = (std::filesystem::temp_directory_path() /
                           ("ocuvant-gallery-test-" + std::to_string(getpid())))
                              .string();
  std::filesystem::remove_all(dir);
  Gallery g(dir);
  EXPECT_TRUE(g.List().empty());
  std::array<std::array<uint8_t, 1024>, 2> areas{};
  areas[0].fill(7);
  areas[1].fill(9);
  std::string file, error;
  ASSERT_TRUE(g.Save(host::EnrollmentOf("Ann Lee/../x", "big", areas), &file, &error)) << error;
  EXPECT_EQ(file, "AnnLeex.json");
  ASSERT_TRUE(g.Save(host::EnrollmentOf("Ann Lee/../x", "big", areas), &file, &error));
  EXPECT_EQ(file, "AnnLeex-2.json");
  // The file reads back as an enrollment file of `ocuvant enroll`.
  host::Enrollment e;
  ASSERT_TRUE(host::ReadEnrollmentFile(dir + "/AnnLeex.json", &e, &error)) << error;
  EXPECT_EQ(e.label, "Ann Lee/../x");
  EXPECT_EQ(e.templates["big"][1], areas[1]);
  // An unreadable file is skipped and named.
  { std::ofstream(dir + "/broken.json") << "{"; }
  std::vector<std::string> skipped;
  EXPECT_EQ(g.List(&skipped).size(), 2u);
  EXPECT_EQ(skipped, std::vector<std::string>{"broken.json"});
  // Two people, two eyes, two steps each.
  EXPECT_EQ(g.Database("big").count(), 8);
  EXPECT_EQ(g.Database("small").count(), 0);
  EXPECT_NE(g.ListJson().find("\"skipped\":[\"broken.json\"]"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(Serve, StreamsTheArmedSessionToSeveralViewers) {
  host::SimulatedDevices sim;
  host::SimulatorOption option;
  option.enabled = true;
  std::string error;
  ASSERT_TRUE(sim.Install(option, &error)) << error;
  ServeConfig config;
  config.galleryDirectory = "/nonexistent-gallery";
  ServeSession session(config);
  ASSERT_TRUE(session.Start(&error)) << error;
  httplib::Client c("127.0.0.1", session.Server().Port());
  const httplib::Headers auth = {{"Authorization", "Bearer " + session.Server().Token()}};
  auto call = [&](const std::string& body) {
    return c.Post("/api/invoke", auth, body, "application/json")->body;
  };
  call(R"({"name":"MatchIrisTimeout","args":[3]})");
  ASSERT_EQ(call(R"({"name":"InitIris","args":[]})"), "{\"result\":1}");
  const std::string db(2048, 'a');
  ASSERT_EQ(call(R"({"name":"MatchIris","args":[null,0,")" + db + R"(",2,null,0,0,0]})"),
            "{\"result\":1}");
  // Two viewers of one page, each reading three frames.
  auto read = [&](int* frames) {
    httplib::Client v("127.0.0.1", session.Server().Port());
    std::string text;
    v.Get("/api/stream?viewer=page", auth, [&](const char* d, size_t n) {
      text.append(d, n);
      size_t count = 0;
      for (size_t p = text.find("--ocuvantframe"); p != std::string::npos;
           p = text.find("--ocuvantframe", p + 1)) {
        ++count;
      }
      *frames = static_cast<int>(count);
      return count < 4;
    });
  };
  int a = 0, b = 0;
  std::thread ta(read, &a), tb(read, &b);
  ta.join();
  tb.join();
  EXPECT_GE(a, 3);
  EXPECT_GE(b, 3);
  EXPECT_GT(session.Frames().GetStats().framesEncoded, 0u);
  call(R"({"name":"CloseIris","args":[]})");
  session.Stop();
}

}  // namespace
}  // namespace ocuvant::web::testing
