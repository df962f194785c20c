// `ocuvant shell` as a user runs it: the built executable on scripts, its JSON lines
// read back and paired with the script's commands.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "child_process.h"
#include "shell_transcript.h"

namespace ocuvant::testing {
namespace {

constexpr int kTimeLimitMs = 120000;  // generous: sanitizer builds are slow
const char kSettingsTag[] = "305参数";
const char kDefaultIrisFragment[] = "\\usb#vid_0c45&pid_6366";
const char kDefaultBurger[] =
    "{\"log\":\"0\",\"save_raw\":\"0\",\"save_cacheraw\":\"0\",\"with_small_iris\":\"0\","
    "\"with_q5_iris\":\"0\",\"with_big_iris\":\"1\",\"iris_hid_ctl\":\"1\","
    "\"iris_with_bkcapture\":\"0\",\"iris_bkcapture_camera\":\"1\","
    "\"capture_realtime_iris\":\"0\"}";

using Logs = std::vector<std::pair<std::string, std::string>>;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Zeros(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += i == 0 ? "0" : "-0";
  return s;
}

ChildResult RunOcuvant(const std::vector<std::string>& args, const std::string& input = "") {
  std::vector<std::string> argv{OCUVANT_EXECUTABLE};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunChild(argv, input, kTimeLimitMs);
}

// The process ended on its own, with exit code 0 and no crash.
void ExpectCleanExit(const ChildResult& r) {
  ASSERT_TRUE(r.started) << OCUVANT_EXECUTABLE;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.signal, 0) << r.err;
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// One shell run of a script file, shared by the tests of a suite.
struct ScriptRun {
  explicit ScriptRun(const std::string& path) : script(ReadText(path)) {
    child = RunOcuvant({"shell", path});
    built = transcript.Build(script, child.out, &buildError);
  }
  std::string script;
  ChildResult child;
  Transcript transcript;
  bool built = false;
  std::string buildError;
};

class ScriptTest : public ::testing::Test {
 protected:
  // Checks the run as a whole before a test reads its replies.
  static void CheckRun(const ScriptRun& run) {
    ExpectCleanExit(run.child);
    ASSERT_TRUE(run.built) << run.buildError << "\n" << run.child.out;
  }
};

// ---------------------------------------------------------------------------------------
// hosts/scripts/defaults.ocs, the script shipped with the host.

class DefaultsScript : public ScriptTest {
 protected:
  static void SetUpTestSuite() { run_ = new ScriptRun(OCUVANT_DEFAULTS_SCRIPT); }
  static void TearDownTestSuite() { delete run_; }
  void SetUp() override { CheckRun(*run_); }
  const Transcript& T() const { return run_->transcript; }
  static ScriptRun* run_;
};
ScriptRun* DefaultsScript::run_ = nullptr;

TEST_F(DefaultsScript, ReportsTheEightPropertyDefaults) {
  const std::map<std::string, Json::Value> expected = {
      {"StringMode", 0},
      {"CameraIDIris", ""},
      {"EnableVoice", 1},
      {"EnrollIrisTimeout", 30},
      {"MatchIrisTimeout", 20},
      {"CameraIDVisible", "usb#vid_05e3&pid_f11d"},
      {"CameraIDInfrared", "usb#vid_05e3&pid_f11c"},
      {"Burger", kDefaultBurger},
  };
  for (const auto& [name, value] : expected) {
    const Reply& r = T().Of("get " + name);
    EXPECT_FALSE(r.IsError()) << name << ": " << r.Error();
    EXPECT_EQ(r.Result(), value) << name;
    EXPECT_EQ(r.Result().type(), value.type()) << name;  // 0 is not "0"
    EXPECT_TRUE(r.events.empty()) << name;
  }
}

TEST_F(DefaultsScript, AnswersTheFixedMethods) {
  EXPECT_EQ(T().Of("call GetEnrollIrisQuality").Result(), Zeros(46));
  EXPECT_EQ(T().Of("call GetMatchIrisQuality").Result(), Zeros(10));
  EXPECT_EQ(T().Of("call GetVersion").Result(), "");
  EXPECT_EQ(T().Of("call CaptureIrisImage C:\\any\\file.bmp").Result(), 0);
  EXPECT_EQ(T().Of("call SetCameraParams 3 {\"camera_gain\":\"99\"}").Result(), 1);
  EXPECT_EQ(T().Of("call SetEnrollIrisQuality 2 70 40 55 99 99").Result(), -1);
  // `set` answers with a void result.
  for (const Reply* r : T().All("set Burger \"\"")) EXPECT_TRUE(r->Result().isNull());
}

TEST_F(DefaultsScript, ChecksTheConfigurationBeforeAnyCameraSearch) {
  const std::vector<const Reply*> init = T().All("call InitIris");
  ASSERT_EQ(init.size(), 8u);
  // The default kinds (Big only) pass the check; what the camera search then finds
  // depends on the machine. The configuration's lines come first.
  ASSERT_TRUE(init[0]->Result().isInt());
  EXPECT_NE(init[0]->Result().asInt(), -200);
  ASSERT_FALSE(init[0]->Logs().empty());
  EXPECT_EQ(init[0]->Logs()[0], (Logs::value_type{kSettingsTag, "BIG虹膜"}));
  EXPECT_EQ(T().Of("get CameraIDIris", 1).Result(), kDefaultIrisFragment);
  if (init[0]->Result().asInt() == 1) {
    GTEST_SKIP() << "an iris camera opened: later InitIris calls do not parse again";
  }

  // Two kinds enabled: -200 and nothing after the configuration lines.
  EXPECT_EQ(init[1]->Result(), -200);
  EXPECT_EQ(
      init[1]->Logs(),
      (Logs{{kSettingsTag, "{\"log\":\"1\",\"with_small_iris\":\"1\",\"with_big_iris\":\"1\"}"},
            {kSettingsTag, "BIG虹膜"},
            {kSettingsTag, "SMALL虹膜"}}));
  // No kind, not JSON, not an object, an object member: -200 and no kind line.
  for (size_t i = 2; i <= 5; ++i) {
    EXPECT_EQ(init[i]->Result(), -200) << i;
    ASSERT_EQ(init[i]->Logs().size(), 1u) << i;
    EXPECT_EQ(init[i]->Logs()[0].first, kSettingsTag) << i;
  }
  // Comments allowed: Q5 only passes, and iris_camera_id reaches the property.
  EXPECT_NE(init[6]->Result(), -200);
  ASSERT_GE(init[6]->Logs().size(), 2u);
  EXPECT_EQ(init[6]->Logs()[1], (Logs::value_type{kSettingsTag, "Q5虹膜"}));
  EXPECT_EQ(T().Of("get CameraIDIris", 2).Result(), "usb#vid_1234");
  // An empty configuration keeps Q5 only: the check passes without a configuration line.
  EXPECT_NE(init[7]->Result(), -200);
  for (const auto& [tag, log] : init[7]->Logs()) EXPECT_NE(tag, kSettingsTag) << log;
}

TEST_F(DefaultsScript, RefusesItsBadLinesWithErrorLines) {
  EXPECT_NE(T().Of("call SetCameraParams 3").Error().find("takes 2 argument(s), got 1"),
            std::string::npos);
  EXPECT_NE(T().Of("call SetCameraParams x {}").Error().find("argument 1"), std::string::npos);
  EXPECT_NE(T().Of("get NoSuchProperty").Error().find("NoSuchProperty"), std::string::npos);
  EXPECT_NE(T().Of("call LogInfo").Error().find("LogInfo"), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// scripts/configuration.ocs: refused configurations, so no camera is ever searched.

class ConfigurationScript : public ScriptTest {
 protected:
  static void SetUpTestSuite() { run_ = new ScriptRun(OCUVANT_SHELL_SCRIPTS "/configuration.ocs"); }
  static void TearDownTestSuite() { delete run_; }
  void SetUp() override { CheckRun(*run_); }
  const Transcript& T() const { return run_->transcript; }
  static ScriptRun* run_;
};
ScriptRun* ConfigurationScript::run_ = nullptr;

TEST_F(ConfigurationScript, EmptyConfigurationOnANewControlEnablesNoKind) {
  EXPECT_EQ(T().Of("call EnrollBothIris", 0).Result(), -101);
  EXPECT_EQ(T().Of("call EnrollLeftIris").Result(), -101);
}

TEST_F(ConfigurationScript, MoreThanOneKindIsRefusedBeforeAnyCameraSearch) {
  const std::vector<const Reply*> init = T().All("call InitIris");
  ASSERT_EQ(init.size(), 9u);
  // The first parse turns log lines on after its configuration line would have fired.
  EXPECT_EQ(init[0]->Result(), -200);
  EXPECT_EQ(init[0]->Logs(), (Logs{{kSettingsTag, "BIG虹膜"}, {kSettingsTag, "SMALL虹膜"}}));
  // Without iris_camera_id the default fragment replaces what the host wrote.
  EXPECT_EQ(T().Of("get CameraIDIris", 0).Result(), kDefaultIrisFragment);

  EXPECT_EQ(init[1]->Result(), -200);
  const Logs logs = init[1]->Logs();
  ASSERT_EQ(logs.size(), 4u);
  EXPECT_EQ(logs[1], (Logs::value_type{kSettingsTag, "Q5虹膜"}));
  EXPECT_EQ(logs[2], (Logs::value_type{kSettingsTag, "BIG虹膜"}));
  EXPECT_EQ(logs[3], (Logs::value_type{kSettingsTag, "SMALL虹膜"}));
  EXPECT_EQ(T().Of("get CameraIDIris", 1).Result(), "usb#vid_1234&pid_0001");
  // The enrollment starts run the same check.
  EXPECT_EQ(T().Of("call EnrollBothIris", 1).Result(), -200);
  EXPECT_EQ(T().Of("call EnrollRightIris").Result(), -200);
}

TEST_F(ConfigurationScript, EveryRefusedTextGivesMinus200) {
  const std::vector<const Reply*> init = T().All("call InitIris");
  ASSERT_EQ(init.size(), 9u);
  for (size_t i = 0; i < init.size(); ++i) {
    EXPECT_EQ(init[i]->Result(), -200) << init[i]->command << " #" << i;
    // Configuration lines only: no camera was looked for.
    for (const auto& [tag, log] : init[i]->Logs()) EXPECT_EQ(tag, kSettingsTag) << log;
  }
  // "2" enables nothing; a refused text enables nothing: only the configuration line.
  for (size_t i : {2u, 4u, 5u, 6u, 7u}) {
    EXPECT_EQ(init[i]->Logs().size(), 1u) << "#" << i;
  }
  // Comments parse, and a number and a boolean stand for "1".
  EXPECT_EQ(init[3]->Logs().size(), 3u);
  EXPECT_EQ(T().Of("get Burger", 0).Result(), "this is not JSON");
  // The parse trims the property itself.
  EXPECT_EQ(init[8]->Logs().size(), 3u);
  EXPECT_EQ(T().Of("get Burger", 1).Result(), "{\"with_small_iris\":\"1\",\"with_q5_iris\":\"1\"}");
}

// ---------------------------------------------------------------------------------------
// scripts/bad_lines.ocs: refused lines one after the other.

class BadLinesScript : public ScriptTest {
 protected:
  static void SetUpTestSuite() { run_ = new ScriptRun(OCUVANT_SHELL_SCRIPTS "/bad_lines.ocs"); }
  static void TearDownTestSuite() { delete run_; }
  void SetUp() override { CheckRun(*run_); }
  const Transcript& T() const { return run_->transcript; }
  static ScriptRun* run_;
};
ScriptRun* BadLinesScript::run_ = nullptr;

TEST_F(BadLinesScript, EachRefusedLineSaysWhatIsWrong) {
  // What each refusal names: the offending word, or the rule broken.
  const std::vector<std::pair<std::string, std::string>> refusals = {
      {"frobnicate StringMode", "unknown command 'frobnicate'"},
      {"get NoSuchProperty", "unknown property 'NoSuchProperty'"},
      {"set NoSuchProperty 1", "unknown property 'NoSuchProperty'"},
      {"call NoSuchMethod", "unknown method 'NoSuchMethod'"},
      {"call LogInfo \"tag\" \"text\"", "LogInfo"},
      {"get StringMode 5", "get takes no value"},
      {"get InitIris", "InitIris is a method"},
      {"call StringMode", "StringMode is a property"},
      {"call GetVersion 1", "GetVersion takes 0 argument(s), got 1"},
      {"call SetCameraParams 3", "SetCameraParams takes 2 argument(s), got 1"},
      {"call PhotoCapture 1 \"a.bmp\" extra", "PhotoCapture takes 2 argument(s), got 3"},
      {"call SetCameraParams x {}", "SetCameraParams argument 1"},
      {"call SetCameraParams 99999999999 {}", "SetCameraParams argument 1"},
      {"call SetEnrollIrisQuality 1 2 3 4 5 six", "SetEnrollIrisQuality argument 6"},
      {"set StringMode abc", "StringMode"},
      {"set EnrollIrisTimeout 1.5", "EnrollIrisTimeout"},
      {"set StringMode", "StringMode"},
      {"call MatchIris \"a\" 1 null 0 null 0 0 0", "MatchIris argument 1"},
      {"call MatchIris [1,\"x\"] 1 null 0 null 0 0 0", "MatchIris argument 1"},
      {"call MatchIris [1,2 1 null 0 null 0 0 0", "unbalanced"},
      {"call CaptureIrisImage \"unterminated", "unterminated"},
      {"wait NoSuchEvent 1", "unknown event 'NoSuchEvent'"},
      {"wait LogInfo", "wait takes an event name and seconds"},
      {"wait LogInfo -1", "wait takes an event name and seconds"},
      {"wait InitCameraEvent 1", "wait InitCameraEvent: no event within 1 s"},
      {"pump", "pump takes one argument"},
      {"pump -5", "pump takes one argument"},
      {"pump 10 20", "pump takes one argument"},
  };
  for (const auto& [command, fragment] : refusals) {
    const Reply& r = T().Of(command);
    ASSERT_TRUE(r.IsError()) << command;
    EXPECT_NE(r.Error().find(fragment), std::string::npos) << command << " -> " << r.Error();
  }
  // Every line of the script is accounted for: the refusals, then four good answers.
  EXPECT_EQ(T().Replies().size(), refusals.size() + 4);
}

TEST_F(BadLinesScript, TheControlCarriesOnAndQuitEndsTheScript) {
  // No refused `set` stored anything.
  EXPECT_EQ(T().Of("get StringMode", 0).Result(), 0);
  EXPECT_TRUE(T().Of("set StringMode 7").Result().isNull());
  EXPECT_EQ(T().Of("get StringMode", 1).Result(), 7);
  EXPECT_EQ(T().Of("call GetVersion").Result(), "");
  // Nothing after `quit` ran.
  EXPECT_EQ(T().All("get StringMode").size(), 2u);
  EXPECT_TRUE(T().All("call NoSuchMethod").size() == 1u);
}

// ---------------------------------------------------------------------------------------
// The shell without a script file, and its command line.

TEST(ShellInput, ReadsStandardInputWithCrLfLinesUntilItsEnd) {
  const std::string script =
      "# from a pipe\r\n"
      "get EnrollIrisTimeout\r\n"
      "set EnrollIrisTimeout -5\r\n"
      "get EnrollIrisTimeout\r\n"
      "set CameraIDVisible \"caf\\u00e9 \\\"cam\\\"\"\r\n"
      "get CameraIDVisible\r\n"
      "set Burger {\"log\":\"1\",\"with_small_iris\":\"1\",\"with_big_iris\":\"1\"}\r\n"
      "call InitIris\r\n"
      "wait LogInfo 5\r\n"
      "get StringMode";  // no newline at the end, no quit
  const ChildResult r = RunOcuvant({"shell"}, script);
  ExpectCleanExit(r);
  Transcript t;
  std::string error;
  ASSERT_TRUE(t.Build(script, r.out, &error)) << error << "\n" << r.out;
  EXPECT_EQ(t.Of("get EnrollIrisTimeout", 0).Result(), 30);
  EXPECT_EQ(t.Of("get EnrollIrisTimeout", 1).Result(), -5);  // stored as given
  EXPECT_EQ(t.Of("get CameraIDVisible").Result(), "café \"cam\"");
  const Reply& init = t.Of("call InitIris");
  EXPECT_EQ(init.Result(), -200);
  // Events print with the table's argument names, and a fired event satisfies `wait`.
  ASSERT_FALSE(init.events.empty());
  for (const Json::Value& e : init.events) {
    EXPECT_EQ(e.getMemberNames(), (std::vector<std::string>{"Log", "Tag", "event"}));
  }
  EXPECT_EQ(t.Of("wait LogInfo 5").Result(), "LogInfo");
  EXPECT_EQ(t.Of("get StringMode").Result(), 0);
}

// `wait` answers to an event fired since the previous other command began, not to one
// left over from before it; two waits after one command both count from it.
TEST(ShellWait, OnlyEventsSinceThePreviousCommand) {
  const std::string script =
      "call StopIris\n"
      "pump 1500\n"
      "call CloseIris\n"
      "wait CloseCameraEvent 1\n"
      "call StopIris\n"
      "wait CloseCameraEvent 3\n"
      "wait CloseCameraEvent 1\n"
      "quit\n";
  const ChildResult r = RunOcuvant({"shell"}, script);
  ExpectCleanExit(r);
  Transcript t;
  std::string error;
  ASSERT_TRUE(t.Build(script, r.out, &error)) << error << "\n" << r.out;
  EXPECT_EQ(t.Of("call CloseIris").Result(), -2);  // nothing open: no event
  EXPECT_TRUE(t.Of("wait CloseCameraEvent 1", 0).IsError()) << "the first close's event counted";
  EXPECT_EQ(t.Of("wait CloseCameraEvent 3").Result(), "CloseCameraEvent");
  EXPECT_TRUE(t.Of("wait CloseCameraEvent 1", 1).IsError()) << "one event answered two waits";
}

TEST(ShellCommandLine, UsageErrorsAndHelp) {
  const ChildResult two = RunOcuvant({"shell", "a.ocs", "b.ocs"});
  EXPECT_EQ(two.exitCode, 2);
  EXPECT_NE(two.err.find("usage: ocuvant shell"), std::string::npos) << two.err;
  EXPECT_TRUE(two.out.empty());

  const ChildResult missing = RunOcuvant({"shell", "/nonexistent/dir/script.ocs"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("cannot open /nonexistent/dir/script.ocs"), std::string::npos);
  EXPECT_TRUE(missing.out.empty());

  const ChildResult help = RunOcuvant({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("shell"), std::string::npos) << help.out;
  const ChildResult shellHelp = RunOcuvant({"shell", "--help"});
  EXPECT_EQ(shellHelp.exitCode, 0);
  for (const char* verb : {"get ", "set ", "call ", "wait ", "pump ", "quit"}) {
    EXPECT_NE(shellHelp.out.find(verb), std::string::npos) << verb;
  }
  const ChildResult unknown = RunOcuvant({"no-such-command"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("no-such-command"), std::string::npos);
}

}  // namespace
}  // namespace ocuvant::testing
