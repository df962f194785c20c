// Database files of `ocuvant engine match`: binary and hex read back to the same bytes, a
// binary file that starts like hex text stays binary, malformed files are refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "hosts/ocuvant/engine_files.h"

namespace ocuvant::host {
namespace {

struct DatabaseFileTest : ::testing::Test {
  std::string path = ::testing::TempDir() + "ocuvant_db_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
  ~DatabaseFileTest() override { std::remove(path.c_str()); }
  void Write(const std::string& bytes) const {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
  }
  static std::string Templates(size_t count) {
    std::mt19937 rng(1);
    std::string s(count * 512, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
  }
};

TEST_F(DatabaseFileTest, BinaryAndHexReadBackTheSameTemplates) {
  const std::string db = Templates(3);
  std::vector<uint8_t> bytes;
  std::string error;
  Write(db);
  ASSERT_TRUE(ReadTemplateDatabase(path, bytes, error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), db);
  std::string hex;
  for (size_t t = 0; t < 3; ++t) {
    std::string line = EncodeHex(reinterpret_cast<const uint8_t*>(db.data()) + 512 * t, 512);
    if (t == 1)
      for (char& c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    hex += line + (t == 2 ? "\r\n" : "\n");
  }
  Write(hex);
  ASSERT_TRUE(ReadTemplateDatabase(path, bytes, error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), db);
  Write("");
  ASSERT_TRUE(ReadTemplateDatabase(path, bytes, error));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(DatabaseFileTest, BinaryThatStartsWithDigitsStaysBinary) {
  std::string db = Templates(4);
  for (size_t i = 0; i < 1500; ++i) db[i] = "0123456789abcdef\n"[i % 17];
  db[1600] = 'z';
  Write(db);
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadTemplateDatabase(path, bytes, error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), db);
}

TEST_F(DatabaseFileTest, MalformedFilesAreRefused) {
  std::vector<uint8_t> bytes;
  std::string error;
  Write(Templates(2) + "x");
  EXPECT_FALSE(ReadTemplateDatabase(path, bytes, error));
  EXPECT_NE(error.find("multiple of 512"), std::string::npos) << error;
  Write(std::string(1024, 'a') + "\n" + std::string(1000, 'b') + "\n");
  EXPECT_FALSE(ReadTemplateDatabase(path, bytes, error));
  EXPECT_NE(error.find("whole templates"), std::string::npos) << error;
  Write(std::string(1024, 'a') + "\n" + std::string(1023, 'b') + "g\n");
  EXPECT_FALSE(ReadTemplateDatabase(path, bytes, error));
  EXPECT_FALSE(ReadTemplateDatabase(path + ".missing", bytes, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

}  // namespace
}  // namespace ocuvant::host
