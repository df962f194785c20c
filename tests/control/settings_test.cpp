// Configuration parse: the documented edge cases, refused input, log lines, and the
// whole-map swap seen from another thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "session/log.h"
#include "session/settings.h"

namespace ocuvant::session {
namespace {

struct Fields {
  std::string burger;
  std::string cameraIdIris;
  std::string defaultId = "\\usb#vid_0c45&pid_6366";
  std::atomic<int32_t> logEnabled{0};
  std::atomic<int32_t> saveRaw{0};
  std::atomic<bool> irisHidCtl{true};
  std::atomic<bool> withQ5{false}, withBig{false}, withSmall{false};
  std::atomic<bool> withBkCapture{false};
  std::atomic<int32_t> bkCaptureCamera{1};
  SettingsStore settings;

  int32_t Parse(const std::string& text) {
    burger = text;
    return ParseSettings({burger, cameraIdIris, defaultId, logEnabled, saveRaw, irisHidCtl, withQ5,
                          withBig, withSmall, withBkCapture, bkCaptureCamera, settings});
  }
};

std::vector<std::pair<std::string, std::string>> g_lines;  // (tag, text)
Fields* g_fields = nullptr;

void Record(bool always, const std::string& text, const std::string& tag) {
  if (always || (g_fields && g_fields->logEnabled == 1)) g_lines.emplace_back(tag, text);
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    g_fields = &f;
    SetLogHook(&Record);
  }
  void TearDown() override {
    SetLogHook(nullptr);
    g_fields = nullptr;
  }
  Fields f;
};

TEST_F(SettingsTest, DefaultConfigurationEnablesBigOnly) {
  EXPECT_EQ(f.Parse(kDefaultBurger), 1);
  EXPECT_TRUE(f.withBig);
  EXPECT_FALSE(f.withSmall || f.withQ5);
  EXPECT_EQ(f.cameraIdIris, f.defaultId);  // no "iris_camera_id"
  EXPECT_EQ(f.settings.Load()->Values().size(), 10u);
  EXPECT_TRUE(g_lines.empty());  // "log" is 0
}

TEST_F(SettingsTest, KindCountDecidesTheResult) {
  EXPECT_EQ(f.Parse(R"({"with_small_iris":"1","with_big_iris":"1"})"), -1);
  EXPECT_TRUE(f.withSmall && f.withBig);  // flags keep what was computed
  EXPECT_EQ(f.Parse(R"({"with_big_iris":"0"})"), -1);
  EXPECT_FALSE(f.withSmall || f.withBig || f.withQ5);
  EXPECT_EQ(f.Parse(R"({"with_q5_iris":" 1"})"), -1);  // text compare, not integer
  EXPECT_EQ(f.Parse(R"({"with_q5_iris":"1"})"), 1);
}

TEST_F(SettingsTest, EmptyConfigurationKeepsThePreviousParse) {
  ASSERT_EQ(f.Parse(R"({"with_small_iris":"1","iris_camera_id":"abc"})"), 1);
  f.cameraIdIris = "host value";
  EXPECT_EQ(f.Parse("  \t\n "), 1);
  EXPECT_EQ(f.burger, "");  // the property itself is trimmed
  EXPECT_TRUE(f.withSmall);
  EXPECT_EQ(f.cameraIdIris, "host value");
  EXPECT_TRUE(f.settings.Load()->IsOne("with_small_iris"));

  Fields fresh;  // a fresh control whose configuration was emptied first
  EXPECT_EQ(fresh.Parse(""), 1);
  EXPECT_FALSE(fresh.withSmall || fresh.withBig || fresh.withQ5);
}

TEST_F(SettingsTest, HidControlBackgroundCameraAndIntegers) {
  f.Parse(R"({"with_big_iris":"1","iris_hid_ctl":"  "})");
  EXPECT_TRUE(f.irisHidCtl);
  f.Parse(R"({"with_big_iris":"1","iris_hid_ctl":"2"})");
  EXPECT_FALSE(f.irisHidCtl);
  f.Parse(R"({"with_big_iris":"1","iris_hid_ctl":" 1x"})");
  EXPECT_TRUE(f.irisHidCtl);
  f.Parse(R"({"with_big_iris":"1"})");
  EXPECT_TRUE(f.irisHidCtl);  // absent

  f.Parse(R"({"iris_bkcapture_camera":"5","iris_with_bkcapture":"3"})");
  EXPECT_EQ(f.bkCaptureCamera, 1);
  EXPECT_TRUE(f.withBkCapture);
  f.Parse(R"({"iris_bkcapture_camera":"2","iris_with_bkcapture":"abc"})");
  EXPECT_EQ(f.bkCaptureCamera, 2);
  EXPECT_FALSE(f.withBkCapture);
  f.Parse(R"({"with_big_iris":"1"})");
  EXPECT_EQ(f.bkCaptureCamera, 2);  // absent keys leave the values

  f.Parse(R"({"save_raw":"2","log":"7"})");
  EXPECT_EQ(f.saveRaw, 2);
  EXPECT_FALSE(f.settings.Load()->IsOne("save_raw"));  // raw eye dumps need the text "1"
  EXPECT_EQ(f.logEnabled, 7);

  EXPECT_EQ(ReadSettingInt("  -12abc"), -12);
  EXPECT_EQ(ReadSettingInt("+7"), 7);
  EXPECT_EQ(ReadSettingInt("x1"), 0);
  EXPECT_EQ(ReadSettingInt("- 1"), 0);
  EXPECT_EQ(ReadSettingInt(""), 0);
  EXPECT_EQ(ReadSettingInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(ReadSettingInt("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(ReadSettingInt("-2147483648"), -2147483647 - 1);
}

TEST_F(SettingsTest, RefusedInputDisablesEveryKind) {
  for (const char* text :
       {R"({"with_big_iris":"1")", "not json", R"(["with_big_iris"])", R"("with_big_iris")", "17",
        R"({"with_big_iris":"1"} trailing)", R"({"with_big_iris":{"v":"1"}})",
        R"({"with_big_iris":["1"]})", R"({"with_big_iris":"1","log":1.5})"}) {
    ASSERT_EQ(f.Parse(R"({"with_big_iris":"1","iris_bkcapture_camera":"2"})"), 1);
    EXPECT_EQ(f.Parse(text), -1) << text;
    EXPECT_FALSE(f.withBig || f.withSmall || f.withQ5) << text;
    EXPECT_TRUE(f.settings.Load()->Empty()) << text;
    EXPECT_EQ(f.cameraIdIris, f.defaultId) << text;
    EXPECT_TRUE(f.irisHidCtl) << text;
    EXPECT_EQ(f.bkCaptureCamera, 2) << text;
  }
  std::string deep(100000, '[');  // deeper than the reader's nesting limit
  EXPECT_EQ(f.Parse(deep), -1);
}

TEST_F(SettingsTest, CommentsNullsScalarsAndUnknownKeys) {
  EXPECT_EQ(f.Parse("// leading\n{\"with_q5_iris\":\"1\", /* c */ \"log\":null,"
                    "\"other\":{\"deep\":[1]}} // trailing"),
            1);
  EXPECT_EQ(f.settings.Load()->Find("log"), nullptr);  // null members are skipped
  EXPECT_EQ(f.settings.Load()->Find("other"), nullptr);
  EXPECT_EQ(f.Parse(R"({"with_small_iris":1,"log":true,"save_raw":2.0})"), 1);
  EXPECT_TRUE(f.withSmall);
  EXPECT_EQ(*f.settings.Load()->Find("log"), "1");
  EXPECT_EQ(f.saveRaw, 2);
}

TEST_F(SettingsTest, LogLinesFollowTheNewLogSetting) {
  f.Parse(R"({"log":"1","with_big_iris":"1"})");  // "log" was 0 when the text was logged
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0], std::make_pair(std::string("305参数"), std::string("BIG虹膜")));
  g_lines.clear();
  const std::string text = R"({"log":"1","with_q5_iris":"1","with_small_iris":"1"})";
  f.Parse(text);
  ASSERT_EQ(g_lines.size(), 3u);
  EXPECT_EQ(g_lines[0].second, text);
  EXPECT_EQ(g_lines[1].second, "Q5虹膜");
  EXPECT_EQ(g_lines[2].second, "SMALL虹膜");
  g_lines.clear();
  f.Parse(R"({"log":"0","with_big_iris":"1"})");
  EXPECT_EQ(g_lines.size(), 1u);  // only the text, logged before "log" became 0
}

TEST_F(SettingsTest, ReadersNeverSeeAHalfBuiltMap) {
  SetLogHook(nullptr);
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!stop) {
      auto s = f.settings.Load();
      const size_t n = s->Values().size();
      if (n != 0 && n != 10 && n != 2) ++bad;
    }
  });
  for (int i = 0; i < 300; ++i) {
    f.Parse(i % 2 ? std::string(kDefaultBurger) : R"({"log":"0","with_big_iris":"1"})");
  }
  stop = true;
  reader.join();
  EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace ocuvant::session
