#include "platform/file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "temp_dir.h"

namespace ocuvant::platform {
namespace {

TEST(Files, WholeFilesRoundTripAndRewritingTruncates) {
  TempDir tmp;
  const std::string name = tmp.path() + "\\data.bin";  // Windows separator on purpose
  const std::string long_text(100000, 'x');
  ASSERT_TRUE(WriteWholeFile(name, long_text.data(), long_text.size()));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(name, &read));
  EXPECT_EQ(read, long_text);

  ASSERT_TRUE(WriteWholeFile(name, "abc", 3));
  ASSERT_TRUE(ReadWholeFile(tmp.path() + "/data.bin", &read));
  EXPECT_EQ(read, "abc");
  ASSERT_TRUE(WriteWholeFile(name, nullptr, 0));
  ASSERT_TRUE(ReadWholeFile(name, &read));
  EXPECT_TRUE(read.empty());
  EXPECT_TRUE(FileExists(name));
  EXPECT_FALSE(DirectoryExists(name));

  EXPECT_FALSE(ReadWholeFile(tmp.path() + "/missing", &read));
  EXPECT_FALSE(ReadWholeFile(name, nullptr));
}

TEST(Files, OutputFileWritesPiecesInOrder) {
  TempDir tmp;
  OutputFile out;
  EXPECT_FALSE(out.IsOpen());
  EXPECT_FALSE(out.Write("x", 1));
  ASSERT_TRUE(out.Create(tmp.path() + "/pieces.txt"));
  EXPECT_TRUE(out.Write("head,", 5));
  EXPECT_TRUE(out.Write("body", 4));
  out.Close();
  EXPECT_FALSE(out.IsOpen());
  std::string read;
  ASSERT_TRUE(ReadWholeFile(tmp.path() + "/pieces.txt", &read));
  EXPECT_EQ(read, "head,body");
}

TEST(Files, UnwritableAndUnmappableNamesFailWithoutCreatingAnything) {
  TempDir tmp;
  ASSERT_TRUE(WriteWholeFile(tmp.path() + "/plain", "x", 1));
  // The process may run as root, so failures come from the tree's shape, not permissions.
  EXPECT_FALSE(WriteWholeFile(tmp.path() + "/plain/child.bin", "x", 1));  // parent is a file
  EXPECT_FALSE(WriteWholeFile(tmp.path() + "/no/such/dir/f.bin", "x", 1));
  EXPECT_FALSE(WriteWholeFile(tmp.path(), "x", 1));  // a directory
  EXPECT_FALSE(WriteWholeFile("/proc/version", "x", 1));
  OutputFile out;
  EXPECT_FALSE(out.Create(tmp.path() + "/plain/child.bin"));
  EXPECT_FALSE(out.IsOpen());

  unsetenv("OCUVANT_DRIVE_D");
  EXPECT_FALSE(WriteWholeFile("d:\\q5_match.iris", "x", 1));
  EXPECT_FALSE(out.Create("d:\\q5_match.iris"));
  EXPECT_FALSE(CreateDirectory("d:\\dumps"));
  EXPECT_FALSE(FileExists("d:\\q5_match.iris"));
  EXPECT_FALSE(FileExists("d:q5_match.iris"));

  setenv("OCUVANT_DRIVE_D", tmp.path().c_str(), 1);
  EXPECT_TRUE(WriteWholeFile("d:\\q5_match.iris", "db", 2));
  EXPECT_TRUE(FileExists(tmp.path() + "/q5_match.iris"));
  unsetenv("OCUVANT_DRIVE_D");
}

TEST(Files, DirectoriesAreCreatedOnceAndReportedAsDirectories) {
  TempDir tmp;
  const std::string dir = tmp.path() + "\\log";
  EXPECT_FALSE(DirectoryExists(dir));
  EXPECT_TRUE(CreateDirectory(dir));
  EXPECT_TRUE(CreateDirectory(dir + "\\"));  // already there: still true
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_FALSE(FileExists(dir));
  EXPECT_FALSE(CreateDirectory(tmp.path() + "/a/b"));  // one level at a time
  ASSERT_TRUE(WriteWholeFile(tmp.path() + "/file", "x", 1));
  EXPECT_FALSE(CreateDirectory(tmp.path() + "/file"));  // a file is in the way
  EXPECT_TRUE(WriteWholeFile(dir + "\\\\inside.bmp", "x", 1));
}

}  // namespace
}  // namespace ocuvant::platform
