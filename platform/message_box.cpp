#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

namespace ocuvant::platform {

namespace {

std::mutex g_handlerMutex;
MessageBoxHandler g_handler;

// One line, written with a single call so lines of concurrent boxes do not interleave.
void WriteToStderr(const std::string& text, const std::string& caption) {
  std::string line = caption.empty() ? text : caption + ": " + text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard lock(g_handlerMutex);
  g_handler = std::move(handler);
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
  // Called outside the lock: a handler may show a box or replace itself.
  MessageBoxHandler handler;
  {
    std::lock_guard lock(g_handlerMutex);
    handler = g_handler;
  }
  if (handler) {
    handler(text, caption);
  } else {
    WriteToStderr(text, caption);
  }
}

}  // namespace ocuvant::platform
