#include "platform/library.h"

#include <gtest/gtest.h>

#include <string>

namespace ocuvant::platform {
namespace {

using AnswerFn = int (*)();

std::string WindowsStyle(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TEST(DynamicLibrary, ADllNameLoadsTheSharedObjectOfTheSameName) {
  const std::string dir = OCUVANT_SAMPLE_LIBRARY_DIR;
  for (const std::string& name :
       {dir + "/SampleLibrary.dll", dir + "/SampleLibrary.DLL",
        WindowsStyle(dir) + "\\SampleLibrary.Dll", dir + "/SampleLibrary.so"}) {
    SCOPED_TRACE(name);
    DynamicLibrary library;
    ASSERT_TRUE(library.Load(name));
    const auto answer = reinterpret_cast<AnswerFn>(library.Symbol("SampleAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(library.Symbol("NoSuchExport"), nullptr);
    EXPECT_EQ(library.Symbol(nullptr), nullptr);
  }
}

TEST(DynamicLibrary, LoadUnloadsThePreviousLibraryAndFailuresLeaveNothingLoaded) {
  const std::string dir = OCUVANT_SAMPLE_LIBRARY_DIR;
  DynamicLibrary library;
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Symbol("SampleAnswer"), nullptr);
  ASSERT_TRUE(library.Load(dir + "/SampleLibrary.dll"));
  EXPECT_FALSE(library.Load(dir + "/Missing.dll"));
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Symbol("SampleAnswer"), nullptr);
  EXPECT_FALSE(library.Load(dir + "/SampleLibrary.dl"));    // only ".dll" is renamed
  EXPECT_FALSE(library.Load("q:\\TravexFace(32bit).dll"));  // unmapped drive
  ASSERT_TRUE(library.Load(dir + "/SampleLibrary.dll"));
  library.Unload();
  EXPECT_FALSE(library.IsLoaded());
}

}  // namespace
}  // namespace ocuvant::platform
