#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/thread.h"

namespace ocuvant::platform {
namespace {

TEST(MessageBox, DefaultWritesOneLineToStderrAndAHandlerReplacesIt) {
  SetMessageBoxHandler(nullptr);
  testing::internal::CaptureStderr();
  ShowMessageBox("PlayVideo failed.");
  ShowMessageBox("line one\nline two", "Ocuvant");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "PlayVideo failed.\nOcuvant: line one line two\n");

  std::vector<std::pair<std::string, std::string>> shown;
  SetMessageBoxHandler([&](const std::string& text, const std::string& caption) {
    shown.emplace_back(text, caption);
  });
  testing::internal::CaptureStderr();
  ShowMessageBox("text", "caption");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], std::make_pair(std::string("text"), std::string("caption")));
  SetMessageBoxHandler(nullptr);
}

TEST(MessageBox, HandlersMayBeSwappedWhileOtherThreadsShowBoxes) {
  std::atomic<int> first{0};
  std::atomic<int> second{0};
  SetMessageBoxHandler([&](const std::string&, const std::string&) { ++first; });
  std::vector<Thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) ShowMessageBox("busy");
    });
  }
  for (int i = 0; i < 50; ++i) {
    SetMessageBoxHandler([&](const std::string&, const std::string&) { ++second; });
    SetMessageBoxHandler([&](const std::string&, const std::string&) { ++first; });
  }
  for (Thread& t : threads) t.Join();
  EXPECT_EQ(first + second, 600);
  // A handler that shows a box itself must not deadlock.
  SetMessageBoxHandler([&](const std::string& text, const std::string&) {
    if (text == "outer") ShowMessageBox("inner");
    ++first;
  });
  first = 0;
  ShowMessageBox("outer");
  EXPECT_EQ(first, 2);
  SetMessageBoxHandler(nullptr);
}

}  // namespace
}  // namespace ocuvant::platform
