// The enrollment file of the `ocuvant` host, and its enroll and match commands run as
// a user runs them (on the simulator).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "hosts/ocuvant/enrollment_file.h"
#include "hosts/ocuvant/template_database.h"

namespace ocuvant::host {
namespace {

TemplateArea Pattern(uint8_t seed) {
  TemplateArea a{};
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(seed + i * 7);
  return a;
}

TEST(EnrollmentFile, RoundTripAndDatabase) {
  Enrollment e;
  e.label = "zoë \"z\"";
  e.templates["big"][0] = Pattern(1);
  TemplateArea right{};
  std::fill(right.begin(), right.begin() + 512, 0xab);  // step 1 missing (all zero)
  e.templates["big"][1] = right;
  Enrollment back;
  std::string error;
  ASSERT_TRUE(EnrollmentFromJson(EnrollmentToJson(e), &back, &error)) << error;
  EXPECT_EQ(back.label, e.label);
  EXPECT_EQ(back.templates, e.templates);

  TemplateDatabase db;
  AddToDatabase(back, "big", &db);
  AddToDatabase(back, "small", &db);  // no Small templates: nothing added
  ASSERT_EQ(db.count(), 3);
  EXPECT_EQ(db.words.size(), 3u * 128u);
  EXPECT_EQ(db.entries[2].eye, 1);
  EXPECT_EQ(db.entries[2].step, 0);
  EXPECT_EQ(db.entries[1].step, 1);
  EXPECT_EQ(std::memcmp(db.words.data() + 128, Pattern(1).data() + 512, 512), 0);
}

TEST(EnrollmentFile, AnyLabelBytesReadBackAsWritten) {
  // UTF-8, an overlong sequence, a stray continuation byte, a NUL and control bytes.
  for (const std::string& label : {std::string("\xE5\xBC\xA0\xE4\xB8\x89 (zhang)"),
                                   std::string("b\xC1\x9B"
                                               "a"),
                                   std::string("\x9B\xFF\xFE"), std::string("a\0b\x01\n\"\\", 7)}) {
    Enrollment e;
    e.label = label;
    e.templates["q5\xC5"][0] = Pattern(2);
    Enrollment back;
    std::string error;
    ASSERT_TRUE(EnrollmentFromJson(EnrollmentToJson(e), &back, &error)) << error;
    EXPECT_EQ(back.label, label);
    EXPECT_EQ(back.templates, e.templates);
  }
}

TEST(EnrollmentFile, RefusesMalformedFiles) {
  Enrollment e;
  std::string error;
  const std::string hex(2048, 'a');
  EXPECT_FALSE(EnrollmentFromJson("[1]", &e, &error));
  EXPECT_FALSE(EnrollmentFromJson(R"({"format":"other","version":1,"templates":{}})", &e, &error));
  EXPECT_FALSE(EnrollmentFromJson(R"({"format":"ocuvant-enrollment","version":2,"templates":{}})",
                                  &e, &error));
  EXPECT_FALSE(EnrollmentFromJson(
      R"({"format":"ocuvant-enrollment","version":1,"templates":{"big":{"left":"abc"}}})", &e,
      &error));
  EXPECT_FALSE(EnrollmentFromJson(R"({"format":"ocuvant-enrollment","version":1,)"
                                  R"("templates":{"big":{"left":")" +
                                      std::string(2047, 'a') + "g\"}}}",
                                  &e, &error));
  EXPECT_TRUE(EnrollmentFromJson(R"({"format":"ocuvant-enrollment","version":1,)"
                                 R"("templates":{"big":{"left":")" +
                                     hex + "\"}}}",
                                 &e, &error))
      << error;
  EXPECT_EQ(e.templates["big"][0][0], 0xaa);
}

struct HostRun {
  int status = -1;
  std::string out;
};

HostRun Host(const std::string& args) {
  HostRun r;
  const std::string cmd = std::string(OCUVANT_HOST_BINARY) + " " + args + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// Enroll a simulated person into a file, identify them, then show that another
// simulated person is not identified; JSON lines and exit codes as documented.
TEST(HostCommands, EnrollThenMatch) {
  const auto dir = std::filesystem::temp_directory_path() / "ocuvant_workflows_host";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "carol.json").string();
  const HostRun enroll =
      Host("enroll --label carol --out " + file + " --json --timeout 10 --simulator 505");
  EXPECT_EQ(enroll.status, 0) << enroll.out;
  EXPECT_THAT(enroll.out, ::testing::HasSubstr("{\"result\":1,\"out\":\"" + file + "\"}"));
  Enrollment e;
  std::string error;
  ASSERT_TRUE(ReadEnrollmentFile(file, &e, &error)) << error;
  EXPECT_EQ(e.label, "carol");
  EXPECT_EQ(e.templates["big"].size(), 2u);

  const HostRun match = Host("match --db " + file + " --json --timeout 10 --simulator 505");
  EXPECT_EQ(match.status, 0) << match.out;
  EXPECT_THAT(match.out, ::testing::HasSubstr("\"label\":\"carol\""));
  EXPECT_THAT(match.out, ::testing::ContainsRegex("\"result\":2[01]"));

  const HostRun stranger = Host("match --db " + file + " --json --timeout 1 --simulator 506");
  EXPECT_EQ(stranger.status, 1) << stranger.out;
  EXPECT_THAT(stranger.out,
              ::testing::HasSubstr("{\"result\":0,\"label\":null,\"index\":-1,\"eye\":null}"));

  EXPECT_EQ(Host("match --json").status, 2);
  EXPECT_EQ(Host("enroll --eyes three").status, 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ocuvant::host
