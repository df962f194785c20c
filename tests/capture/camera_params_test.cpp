// Camera-parameter JSON: range checks, NoChange, results, exposure and log lines.
#include <gtest/gtest.h>

#include "capture/capture_video.h"
#include "fake_backend.h"
#include "platform/message_box.h"
#include "recording_hooks.h"

namespace ocuvant::capture::testing {
namespace {

using simulator::VirtualCameraControls;

class CameraParamsTest : public ::testing::Test {
 protected:
  // Opens device `index` with `params`; the open must succeed whatever the text says.
  void OpenWith(const std::string& params, size_t index = 0) {
    session_.SetCameraParams(params);
    ASSERT_EQ(session_.Open(static_cast<int32_t>(index), nullptr, SnapshotOnly, "PhotoCapture"), 0);
  }
  VirtualCameraControls& Controls() { return backend_->Controls(0); }
  size_t ProcAmpWrites() {
    size_t n = 0;
    for (const auto& w : Controls().Writes()) n += w.exposure ? 0 : 1;
    return n;
  }

  std::shared_ptr<FakeBackend> backend_ = std::make_shared<FakeBackend>(std::vector<FakeDevice>{
      {"Cam", "\\\\?\\usb#vid_1#a"}, {"Bare", "\\\\?\\usb#vid_2#b", 320, 240, false}});
  ScopedBackends backends_{{backend_}};
  RecordingHooks hooks_;
  CCaptureVideo session_;
};

TEST_F(CameraParamsTest, ProcAmpResults) {
  VirtualCameraControls& c = Controls();
  const int32_t gain = c.Value(ProcAmpProperty::Gain);
  EXPECT_EQ(CCaptureVideo::ApplyProcAmpProperty(&c, ProcAmpProperty::Gain, "Gain", 500), -3);
  EXPECT_EQ(CCaptureVideo::ApplyProcAmpProperty(&c, ProcAmpProperty::Gain, "Gain", -1), -3);
  EXPECT_EQ(CCaptureVideo::ApplyProcAmpProperty(&c, ProcAmpProperty::Gain, "Gain", NoChange), 0);
  EXPECT_EQ(c.Value(ProcAmpProperty::Gain), gain);
  EXPECT_TRUE(c.Writes().empty());
  EXPECT_TRUE(hooks_.Logs().empty());  // out of range and NoChange are silent

  EXPECT_EQ(CCaptureVideo::ApplyProcAmpProperty(&c, ProcAmpProperty::Gain, "Gain", 100), 1);
  EXPECT_EQ(c.Value(ProcAmpProperty::Gain), 100);
  ASSERT_EQ(c.Writes().size(), 1u);
  EXPECT_EQ(c.Writes()[0].flags, kPropertyFlagManual);

  c.SetRefuseWrites(true);
  EXPECT_EQ(CCaptureVideo::ApplyProcAmpProperty(&c, ProcAmpProperty::Gain, "Gain", 7), -4);
  c.SetRefuseWrites(false);
  EXPECT_TRUE(hooks_.Logs().empty());

  c.SetUnreadable(ProcAmpProperty::Gamma, true);
  EXPECT_EQ(CCaptureVideo::ApplyProcAmpProperty(&c, ProcAmpProperty::Gamma, "Gamma", 3), -1);
  EXPECT_TRUE(hooks_.HasLog("获取相机Gamma信息失败", "capture"));
  // ColorEnable is not a property of these cameras: its current value cannot be read.
  PropertyRange r;
  EXPECT_FALSE(c.GetRange(ProcAmpProperty::ColorEnable, &r));
}

TEST_F(CameraParamsTest, DefaultIrisParametersAppliedInOrder) {
  OpenWith(
      "{\"camera_brightness\":\"8\",\"camera_contrast\":\"46\",\"camera_hue\":\"0\","
      "\"camera_saturation\":\"56\",\"camera_sharpness\":\"5\",\"camera_gamma\":\"3\","
      "\"camera_gain\":\"50\",\"camera_backlight\":\"400\"}");
  std::vector<int32_t> order;
  for (const auto& w : Controls().Writes()) order.push_back(w.property);
  EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 8, 9}));
  EXPECT_EQ(Controls().Value(ProcAmpProperty::Brightness), 8);
  EXPECT_EQ(Controls().Value(ProcAmpProperty::BacklightCompensation), 400);
  EXPECT_EQ(Controls().Value(ProcAmpProperty::Gain), 50);
}

TEST_F(CameraParamsTest, OutOfRangeGainAndNoChangeBrightnessLeftAlone) {
  OpenWith("{\"camera_gain\":\"500\",\"camera_brightness\":\"-8888\"}");
  EXPECT_EQ(ProcAmpWrites(), 0u);
  EXPECT_TRUE(hooks_.Logs().empty());
}

TEST_F(CameraParamsTest, TextConversionAndOddValues) {
  // Digits followed by letters count as the digits; leading blanks and signs are fine;
  // numbers are taken in their decimal form; arrays, objects and booleans are skipped.
  OpenWith(
      "/* iris camera */ {\"camera_gain\":\"12ab\",\"camera_brightness\":\"  -5\","
      "\"camera_contrast\":60,\"camera_hue\":[1],\"camera_saturation\":{\"a\":1},"
      "\"camera_sharpness\":true,\"camera_gamma\":null,\"camera_whitebalance_val\":\"5000\"}");
  EXPECT_EQ(Controls().Value(ProcAmpProperty::Gain), 12);
  EXPECT_EQ(Controls().Value(ProcAmpProperty::Brightness), -5);
  EXPECT_EQ(Controls().Value(ProcAmpProperty::Contrast), 60);
  EXPECT_EQ(ProcAmpWrites(), 3u);
  EXPECT_EQ(Controls().Value(ProcAmpProperty::WhiteBalance), 4600);  // _val drives nothing
}

TEST_F(CameraParamsTest, TextsThatAreNotObjectsChangeNothing) {
  for (const char* text : {"not json", "[\"camera_gain\",\"5\"]", "\"camera_gain\"", "   ",
                           "{\"camera_gain\":\"5\""}) {
    session_.Close();
    OpenWith(text);
  }
  EXPECT_TRUE(Controls().Writes().empty());
  // Nesting deeper than the parser allows is refused, not thrown.
  session_.Close();
  OpenWith(std::string(5000, '[') + std::string(5000, ']'));
  EXPECT_TRUE(Controls().Writes().empty());
}

TEST_F(CameraParamsTest, WhiteBalanceAutoKeyWritesTheWhiteBalanceValue) {
  OpenWith("{\"camera_whitebalance_auto\":\"5000\"}");
  EXPECT_EQ(Controls().Value(ProcAmpProperty::WhiteBalance), 5000);
}

TEST_F(CameraParamsTest, Exposure) {
  OpenWith("{\"camera_exposure_auto\":\"0\",\"camera_exposure_manual_val\":\"-9\"}");
  EXPECT_EQ(Controls().ExposureValue(), -9);
  EXPECT_EQ(Controls().ExposureFlags(), kPropertyFlagManual);

  session_.Close();
  OpenWith("{\"camera_exposure_auto\":\"1\",\"camera_exposure_manual_val\":\"-9\"}");
  EXPECT_EQ(Controls().ExposureFlags(), kPropertyFlagAuto);
  EXPECT_EQ(Controls().ExposureValue(), -6);  // the range's default
  EXPECT_TRUE(hooks_.Logs().empty());

  // Manual exposure without a value writes NoChange, which the camera refuses.
  session_.Close();
  OpenWith("{\"camera_exposure_auto\":\"0\"}");
  EXPECT_EQ(Controls().Writes().back().value, NoChange);
  EXPECT_TRUE(hooks_.HasLog("设置手动曝光值失败", "capture"));

  session_.Close();
  Controls().SetRefuseExposureWrites(true);
  OpenWith("{\"camera_exposure_auto\":\"1\"}");
  EXPECT_TRUE(hooks_.HasLog("设置自动曝光值失败", "capture"));

  session_.Close();
  Controls().SetExposureUnreadable(true);
  Controls().ClearWrites();
  OpenWith("{\"camera_exposure_manual_val\":\"-3\"}");
  EXPECT_TRUE(hooks_.HasLog("获取相机曝光信息失败", "capture"));
  EXPECT_TRUE(Controls().Writes().empty());
}

TEST_F(CameraParamsTest, MissingSourceOrAmplifier) {
  EXPECT_FALSE(session_.ApplyCameraParams("{\"camera_gain\":\"5\"}"));  // nothing bound
  std::vector<std::string> boxes;
  platform::SetMessageBoxHandler(
      [&](const std::string& text, const std::string&) { boxes.push_back(text); });
  OpenWith("{\"camera_gain\":\"5\"}", 1);  // a camera without image settings still opens
  EXPECT_FALSE(session_.ApplyCameraParams("{\"camera_gain\":\"5\"}"));
  platform::SetMessageBoxHandler(nullptr);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Gain failed", "Gain failed"}));
  session_.Close();
  OpenWith("");
  EXPECT_TRUE(session_.ApplyCameraParams("  "));
  EXPECT_TRUE(Controls().Writes().empty());
}

}  // namespace
}  // namespace ocuvant::capture::testing
