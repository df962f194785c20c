// Runs the umockdev camera tests: the testbed and the fake camera exist for the whole run.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdio>

#include "fake_v4l2_camera.h"

namespace ocuvant::capture::testing {
FakeV4l2Camera g_camera;
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The testbed must exist before the environment check.
  UMockdevTestbed* testbed = umockdev_testbed_new();
  if (!umockdev_in_mock_environment()) {
    std::fprintf(stderr, "not running under umockdev-wrapper: skipped\n");
    g_object_unref(testbed);
    return 77;
  }
  std::string error;
  if (!ocuvant::capture::testing::g_camera.Install(testbed, &error)) {
    std::fprintf(stderr, "fake camera: %s\n", error.c_str());
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  g_object_unref(testbed);
  return result;
}
