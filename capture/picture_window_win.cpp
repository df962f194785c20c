#include "capture/picture_window_win.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace ocuvant::capture {
namespace {

std::mutex g_mutex;
std::vector<std::pair<const void*, HWND>> g_windows;

}  // namespace

void SetPictureWindow(const void* owner, HWND window) {
  if (owner == nullptr) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = std::find_if(g_windows.begin(), g_windows.end(),
                         [owner](const auto& e) { return e.first == owner; });
  if (window == nullptr) {
    if (it != g_windows.end()) g_windows.erase(it);
  } else if (it != g_windows.end()) {
    it->second = window;
  } else {
    g_windows.emplace_back(owner, window);
  }
}

HWND PictureWindow(const void* owner) {
  if (owner == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const auto& e : g_windows) {
    if (e.first == owner) return e.second;
  }
  return nullptr;
}

}  // namespace ocuvant::capture
