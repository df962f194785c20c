// Face scripts of the virtual infrared face camera.
#include <gtest/gtest.h>

#include "simulator/face_scene.h"
#include "simulator/virtual_camera_backend.h"

namespace ocuvant::face_test {
namespace {

using simulator::FaceScript;

TEST(FaceScript, MalformedScriptsAreRefused) {
  for (const char* bad :
       {"face 1 2 3", "face 10 10 0 10", "face 10 10 10 10 for 0", "gone; face 1 1 10 10", "smile",
        "face 1 1 10 10 pose 101", "face 1 1 10 10 for", "gone pose 3", "loop", "face x 1 10 10"}) {
    EXPECT_FALSE(FaceScript::Parse(bad).has_value()) << bad;
  }
  simulator::VirtualCameraConfig cameras;
  cameras.faceScript = "face 1 2";
  std::string error;
  EXPECT_FALSE(simulator::InstallVirtualCameras(cameras, &error));
  EXPECT_NE(error.find("face script"), std::string::npos);
}

TEST(FaceScript, ScenesFollowTheStepsAndLoop) {
  const auto script =
      FaceScript::Parse("gone for 500; face 100 240 200 240 pose -5 person 9 for 1000; loop");
  ASSERT_TRUE(script.has_value());
  EXPECT_FALSE(script->SceneAt(0).present);
  EXPECT_FALSE(script->SceneAt(499).present);
  const simulator::FaceScene s = script->SceneAt(500);
  EXPECT_TRUE(s.present);
  EXPECT_EQ(s.centreX, 100);
  EXPECT_EQ(s.width, 200);
  EXPECT_EQ(s.pose, -5);
  EXPECT_EQ(s.person, 9u);
  EXPECT_FALSE(script->SceneAt(1500).present);  // looped back to "gone"
  EXPECT_TRUE(script->SceneAt(3600).present);
  // A timed script that has run out shows nobody; an endless last step stays.
  EXPECT_FALSE(FaceScript::Parse("face 1 1 30 30 for 100")->SceneAt(100).present);
  EXPECT_TRUE(FaceScript::Parse("gone for 10; face 1 1 30 30")->SceneAt(99999).present);
}

}  // namespace
}  // namespace ocuvant::face_test
