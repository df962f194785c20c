#include "session/log.h"

#include <atomic>

namespace ocuvant::session {
namespace {
std::atomic<LogHook> g_logHook{nullptr};
}  // namespace

void SetLogHook(LogHook hook) {
  g_logHook.store(hook, std::memory_order_release);
}

void LogIfEnabled(const std::string& text, const std::string& tag) {
  if (LogHook hook = g_logHook.load(std::memory_order_acquire)) hook(false, text, tag);
}

void LogAlways(const std::string& text, const std::string& tag) {
  if (LogHook hook = g_logHook.load(std::memory_order_acquire)) hook(true, text, tag);
}

}  // namespace ocuvant::session
