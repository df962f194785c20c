// The `ocuvant` host's simulator options and `ocuvant record` as a field engineer uses
// them: frames recorded from the (simulated) iris camera are replayed through
// enrollment and identification; every iris and photo command takes every form of
// --simulator, and a replay folder without frames is a one-line error with status 2.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/ocuvant/enrollment_file.h"

namespace ocuvant::host {
namespace {

namespace fs = std::filesystem;

struct HostRun {
  int status = -1;
  std::string out, err;
};

// Runs the host with `args`; standard output and standard error kept apart.
HostRun Host(const std::string& args) {
  HostRun r;
  // One file per process: ctest runs the cases of this file side by side.
  const fs::path errFile =
      fs::temp_directory_path() / ("ocuvant_record_replay_" + std::to_string(::getpid()) + ".err");
  const std::string cmd = std::string(OCUVANT_HOST_BINARY) + " " + args + " 2>" + errFile.string();
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::ifstream in(errFile);
  std::ostringstream s;
  s << in.rdbuf();
  r.err = s.str();
  in.close();
  std::error_code ignored;
  fs::remove(errFile, ignored);
  return r;
}

std::string LastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  const size_t nl = t.find_last_of("\r\n");
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

class RecordReplay : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder per process: ctest runs the cases of this file side by side.
    dir_ = fs::temp_directory_path() / ("ocuvant_record_replay_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(RecordReplay, RecordedFramesEnrollAndIdentifyThePerson) {
  const fs::path frames = dir_ / "frames";
  const HostRun record = Host("record " + frames.string() + " --seconds 2 --simulator=subject=505");
  ASSERT_EQ(record.status, 0) << record.err;
  int files = 0;
  for (const auto& e : fs::directory_iterator(frames)) {
    EXPECT_EQ(fs::file_size(e.path()), 1920u * 1080u) << e.path();
    files++;
  }
  EXPECT_GT(files, 0);  // about 30 a second, far fewer in sanitizer builds
  EXPECT_THAT(record.out, ::testing::HasSubstr("recorded " + std::to_string(files) + " frames"));

  const std::string file = (dir_ / "recorded.json").string();
  const std::string replay = " --simulator=replay=" + frames.string();
  const HostRun enroll = Host("enroll --label rec --out " + file + " --timeout 10" + replay);
  ASSERT_EQ(enroll.status, 0) << enroll.out << enroll.err;
  // The last progress line tells the step that finished and its outcome.
  EXPECT_EQ(LastLine(enroll.err), "step 2/2 done | enrolled");
  Enrollment e;
  std::string error;
  ASSERT_TRUE(ReadEnrollmentFile(file, &e, &error)) << error;
  EXPECT_EQ(e.templates["big"].size(), 2u);

  const HostRun match = Host("match --db " + file + " --json --timeout 10" + replay);
  EXPECT_EQ(match.status, 0) << match.out << match.err;
  EXPECT_THAT(match.out, ::testing::HasSubstr("\"label\":\"rec\""));
  EXPECT_THAT(LastLine(match.err), ::testing::StartsWith("identification done | identified"));
  // The live simulated person recorded is the same one; another is not.
  EXPECT_EQ(Host("match --db " + file + " --json --timeout 10 --simulator=subject=505").status, 0);
  const HostRun stranger = Host("match --db " + file + " --json --timeout 1 --simulator 506");
  EXPECT_EQ(stranger.status, 1) << stranger.out;
  EXPECT_THAT(LastLine(stranger.err), ::testing::HasSubstr("nobody identified"));
}

TEST_F(RecordReplay, EveryCommandTakesEveryFormOfTheSimulatorFlag) {
  const std::string file = (dir_ / "bare.json").string();
  // A bare flag with nothing after it: the default simulated person.
  EXPECT_EQ(Host("enroll --eyes left --timeout 10 --out " + file + " --simulator").status, 0);
  EXPECT_EQ(Host("match --db " + file + " --timeout 10 --simulator").status, 0);
  EXPECT_EQ(Host("photo --simulator 7 " + (dir_ / "seed.bmp").string()).status, 0);
  EXPECT_EQ(Host("photo --simulator=subject=3 " + (dir_ / "subject.bmp").string()).status, 0);
  EXPECT_EQ(fs::file_size(dir_ / "seed.bmp"), 54u + 1280u * 720u * 3u);
  const HostRun face = Host("face-enroll --simulator");
  EXPECT_EQ(face.status, 0) << face.out;
  EXPECT_THAT(face.out, ::testing::HasSubstr("enrolled: 5 faces"));
  EXPECT_EQ(Host("demo --others 0 --impostor-timeout 1 --simulator 1234").status, 0);
}

TEST_F(RecordReplay, AReplayFolderWithoutFramesIsAOneLineErrorWithStatusTwo) {
  const fs::path empty = dir_ / "empty";
  fs::create_directories(empty);
  std::ofstream(empty / "notes.txt") << "not a frame";
  const std::string flag = " --simulator=replay=" + empty.string();
  const std::string out = (dir_ / "x.json").string();
  Enrollment e;  // a database for match
  e.label = "x";
  e.templates["big"][0].fill(0x5a);
  std::string error;
  ASSERT_TRUE(WriteEnrollmentFile(out, e, &error)) << error;
  const std::vector<std::string> commands = {"enroll --out " + out, "match --db " + out, "demo",
                                             "face-enroll", "photo " + (dir_ / "x.bmp").string()};
  for (const std::string& command : commands) {
    const HostRun r = Host(command + flag);
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_THAT(r.err, ::testing::HasSubstr("no replayable frames in " + empty.string()))
        << command;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << command << ": " << r.err;
  }
  EXPECT_EQ(Host("enroll --simulator=replay= --out " + out).status, 2);
  EXPECT_EQ(Host("enroll --simulator=person=3 --out " + out).status, 2);
  EXPECT_EQ(Host("record " + (dir_ / "r").string() + flag).status, 2);
  // Without a camera and without the simulator there is nothing to record.
  const HostRun none = Host("record " + (dir_ / "r").string() + " --seconds 1");
  if (none.status == 2) {
    EXPECT_THAT(none.err, ::testing::HasSubstr("no iris camera attached"));
  }
}

}  // namespace
}  // namespace ocuvant::host
