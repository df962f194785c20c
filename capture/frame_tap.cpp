#include "capture/frame_tap.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>

namespace ocuvant::capture {
namespace {

// Readers (streaming threads) share the lock; installing waits for frames in the tap.
std::shared_mutex g_tapMutex;
std::atomic<FrameTap> g_tap{nullptr};
void* g_context = nullptr;

}  // namespace

void InstallFrameTap(FrameTap tap, void* context) {
  std::unique_lock<std::shared_mutex> lock(g_tapMutex);
  g_context = context;
  g_tap.store(tap, std::memory_order_release);
}

void NotifyFrameTap(const uint8_t* frame, long length, int32_t width, int32_t height,
                    FrameRoute route) {
  // No tap (the usual case): one atomic load, no lock.
  if (g_tap.load(std::memory_order_acquire) == nullptr) return;
  std::shared_lock<std::shared_mutex> lock(g_tapMutex);
  if (FrameTap tap = g_tap.load(std::memory_order_relaxed)) {
    tap(g_context, frame, length, width, height, route);
  }
}

}  // namespace ocuvant::capture
