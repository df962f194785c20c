// Message boxes on Windows: an installed handler, or a real modal MessageBoxW on the
// calling thread (texts converted from UTF-8, the Chinese texts unchanged).
#include <windows.h>

#include <mutex>

#include "platform/message_box.h"
#include "platform/utf16_win.h"

namespace ocuvant::platform {

namespace {

std::mutex g_handlerMutex;
MessageBoxHandler g_handler;

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard lock(g_handlerMutex);
  g_handler = std::move(handler);
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
  MessageBoxHandler handler;
  {
    std::lock_guard lock(g_handlerMutex);
    handler = g_handler;
  }
  if (handler) {
    handler(text, caption);
    return;
  }
  MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), MB_OK);
}

}  // namespace ocuvant::platform
