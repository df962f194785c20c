// Camera list text, selection by device-path fragment, binding by position.
#include <gtest/gtest.h>

#include "capture/capture_video.h"
#include "fake_backend.h"
#include "simulator/virtual_camera_backend.h"

namespace ocuvant::capture::testing {
namespace {

const char kPathA[] = "\\\\?\\usb#vid_1111&pid_2222&mi_00#a#{x}\\global";
const char kPathB[] = "\\\\?\\usb#vid_0c45&pid_6366&mi_00#b#{x}\\global";

std::shared_ptr<CaptureBackend> Fake(std::vector<FakeDevice> devices) {
  return std::make_shared<FakeBackend>(std::move(devices));
}

TEST(EnumDevices, NamesJoinedBySemicolonsWithoutTrailingOne) {
  CCaptureVideo session;
  std::string text = "stale";
  {
    ScopedBackends none({});
    EXPECT_EQ(session.EnumDevices(&text, true), 0);
    EXPECT_EQ(text, "");
  }
  {
    ScopedBackends one({Fake({{"Cam A", kPathA}})});
    EXPECT_EQ(session.EnumDevices(&text, true), 1);
    EXPECT_EQ(text, "Cam A");
  }
  {
    ScopedBackends two({Fake({{"Cam A", kPathA}, {"Cam B", kPathB}})});
    EXPECT_EQ(session.EnumDevices(&text, true), 2);
    EXPECT_EQ(text, "Cam A;Cam B");
    EXPECT_EQ(session.EnumDevices(&text, false), 2);  // paths, not names
    EXPECT_EQ(text, std::string(kPathA) + ";" + kPathB);
  }
}

TEST(EnumDevices, UnreadableEntriesLeftOutButBackendsConcatenated) {
  ScopedBackends two({Fake({{"", kPathA}, {"Cam B", ""}}), Fake({{"Cam C", kPathB}})});
  CCaptureVideo session;
  std::string text;
  EXPECT_EQ(session.EnumDevices(&text, true), 2);
  EXPECT_EQ(text, "Cam B;Cam C");
  EXPECT_EQ(session.EnumDevices(&text, false), 2);
  EXPECT_EQ(text, std::string(kPathA) + ";" + kPathB);
}

TEST(EnumDevices, OverlongNameCutTo2047Bytes) {
  const std::string longName(3000, 'n');
  ScopedBackends one({Fake({{longName, kPathA}})});
  CCaptureVideo session;
  std::string text;
  EXPECT_EQ(session.EnumDevices(&text, true), 1);
  EXPECT_EQ(text, std::string(2047, 'n'));
}

TEST(FindDeviceByPath, PositionsAndFailureCodes) {
  CCaptureVideo session;
  {
    ScopedBackends none({});
    EXPECT_EQ(session.FindDeviceByPath("usb#vid_0c45"), -1);  // empty category
  }
  ScopedBackends two({Fake({{"Cam A", ""}, {"Cam B", kPathB}})});
  // The first device's path cannot be read; the second still has position 1.
  EXPECT_EQ(session.FindDeviceByPath("pid_6366"), 1);
  EXPECT_EQ(session.FindDeviceByPath("\\usb#vid_0c45&pid_6366"), 1);
  EXPECT_EQ(session.FindDeviceByPath("USB#VID_0C45"), -2);  // case-sensitive
  EXPECT_EQ(session.FindDeviceByPath("vid_9999"), -2);
  EXPECT_EQ(session.FindDeviceByPath(""), -1);
  EXPECT_EQ(session.FindDeviceByPath(nullptr), -1);
}

TEST(FindDeviceByPath, DefaultFragmentsSelectTheVirtualCameras) {
  ScopedBackends only({Fake({{"Other", kPathA}})});
  std::string error;
  ASSERT_TRUE(simulator::InstallVirtualCameras({}, &error)) << error;
  CCaptureVideo session;
  EXPECT_EQ(session.FindDeviceByPath("\\usb#vid_0c45&pid_6366"), 1);
  EXPECT_EQ(session.FindDeviceByPath("usb#vid_05e3&pid_f11d"), 2);
  EXPECT_EQ(session.FindDeviceByPath("usb#vid_05e3&pid_f11c"), 3);
  std::string text;
  EXPECT_EQ(session.EnumDevices(&text, true), 4);
  EXPECT_EQ(text, "Other;Virtual Iris Camera;Virtual Visible Camera;Virtual Infrared Camera");
  simulator::RemoveVirtualCameras();
  EXPECT_EQ(session.FindDeviceByPath("\\usb#vid_0c45&pid_6366"), -2);
}

TEST(BindDevice, BindsByPositionAndCountsUnnamedDevices) {
  ScopedBackends two({Fake({{"", kPathA}, {"Cam B", kPathB}})});
  CCaptureVideo session;
  EXPECT_FALSE(session.BindDevice(-1));
  EXPECT_FALSE(session.DeviceBound());
  // A device whose name cannot be read is bound as nothing: the session counts as
  // bound, but an open of it fails on the missing source and leaves the session empty.
  EXPECT_TRUE(session.BindDevice(0));
  EXPECT_TRUE(session.DeviceBound());
  session.Close();
  EXPECT_LT(session.Open(0, nullptr, SnapshotOnly, "PhotoCapture"), 0);
  EXPECT_EQ(session.State(), CaptureState::Empty);
  EXPECT_FALSE(session.DeviceBound());
  // An index past the end binds nothing either.
  EXPECT_LT(session.Open(7, nullptr, SnapshotOnly, "PhotoCapture"), 0);
  EXPECT_EQ(session.Open(1, nullptr, SnapshotOnly, "PhotoCapture"), 0);
  EXPECT_EQ(session.State(), CaptureState::Built);
  EXPECT_EQ(session.FrameWidth(), 320);
  EXPECT_EQ(session.FrameHeight(), 240);
}

TEST(BindDevice, OpenWithNoCameraListedReturnsOne) {
  ScopedBackends none({});
  CCaptureVideo session;
  EXPECT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 1);
  EXPECT_EQ(session.State(), CaptureState::Empty);
}

}  // namespace
}  // namespace ocuvant::capture::testing
