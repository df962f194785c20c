// Device paths from USB identities and the YUYV to bottom-up BGR conversion.
#include <gtest/gtest.h>

#include <vector>

#include "capture/bgr_conversion.h"
#include "capture/v4l2_controls.h"
#include "capture/v4l2_device_path.h"

namespace ocuvant::capture {
namespace {

TEST(DevicePath, BuiltFromTheUsbIdentityInLowerCase) {
  UsbIdentity id{"0C45", "6366", "00", "SN-AB#1", "1-1.2"};
  const std::string path = BuildUsbDevicePath(id);
  EXPECT_EQ(path,
            "\\\\?\\usb#vid_0c45&pid_6366&mi_00#sn-ab_1#"
            "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
  EXPECT_NE(path.find("\\usb#vid_0c45&pid_6366"), std::string::npos);  // built-in fragment

  id.serial.clear();
  id.interfaceNumber = "0a";
  EXPECT_EQ(BuildUsbDevicePath(id),
            "\\\\?\\usb#vid_0c45&pid_6366&mi_0a#1-1.2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
            "\\global");
  id.interfaceNumber.clear();  // not a composite device: no interface part
  EXPECT_EQ(BuildUsbDevicePath(id).substr(0, 26), "\\\\?\\usb#vid_0c45&pid_6366#");

  EXPECT_EQ(BuildUsbDevicePath({"xyz", "6366", "00", "", "1-1"}), "");
  EXPECT_EQ(BuildUsbDevicePath({"10000", "6366", "00", "", "1-1"}), "");
  EXPECT_EQ(BuildOtherDevicePath("video3"),
            "\\\\?\\v4l#video3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
}

TEST(YuyvConversion, LimitedRangeBt601) {
  uint8_t bgr[3];
  YuvToBgr(16, 128, 128, bgr);
  EXPECT_EQ(std::vector<int>(bgr, bgr + 3), (std::vector<int>{0, 0, 0}));
  YuvToBgr(235, 128, 128, bgr);
  EXPECT_EQ(std::vector<int>(bgr, bgr + 3), (std::vector<int>{255, 255, 255}));
  YuvToBgr(81, 90, 240, bgr);  // pure red
  EXPECT_LE(bgr[0], 1);
  EXPECT_LE(bgr[1], 1);
  EXPECT_GE(bgr[2], 254);
  YuvToBgr(126, 128, 128, bgr);  // mid grey stays grey
  EXPECT_EQ(bgr[0], bgr[1]);
  EXPECT_EQ(bgr[1], bgr[2]);
}

TEST(YuyvConversion, RowsTurnedBottomUpAndChromaShared) {
  // 2 x 2 image, source stride with padding; top row black, bottom row white.
  const uint8_t src[2 * 6] = {16, 128, 16, 128, 0xEE, 0xEE, 235, 128, 235, 128, 0xEE, 0xEE};
  uint8_t dst[2 * 8];
  std::fill(std::begin(dst), std::end(dst), 0x55);
  ConvertYuyvToBgrBottomUp(src, 6, 2, 2, dst, 8);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(dst[i], 255) << i;  // stored first: bottom row
  for (int i = 8; i < 14; ++i) EXPECT_EQ(dst[i], 0) << i;   // stored last: top row
  EXPECT_EQ(dst[6], 0x55);                                  // row padding untouched
}

TEST(ExposureMapping, Log2SecondsToHundredMicroseconds) {
  int32_t units = 0;
  EXPECT_TRUE(ExposureLog2ToUnits(-6, &units));
  EXPECT_EQ(units, 156);  // 1/64 s
  EXPECT_TRUE(ExposureLog2ToUnits(0, &units));
  EXPECT_EQ(units, 10000);
  EXPECT_TRUE(ExposureLog2ToUnits(kExposureLog2Min, &units));
  EXPECT_EQ(units, 1);
  EXPECT_FALSE(ExposureLog2ToUnits(-8888, &units));
  EXPECT_FALSE(ExposureLog2ToUnits(kExposureLog2Max + 1, &units));
  EXPECT_EQ(ExposureUnitsToLog2(156), -6);
  EXPECT_EQ(ExposureUnitsToLog2(0), -13);
}

}  // namespace
}  // namespace ocuvant::capture
