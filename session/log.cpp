#include "session/log.h"

#include <atomic>

namespace ocuvant::session {
namespace {
std::atomic<LogHook> g_logHook{nullptr};
std::atomic<LogWantedProbe> g_logWanted{nullptr};
}  // namespace

void SetLogHook(LogHook hook, LogWantedProbe ordinaryLineWanted) {
  g_logWanted.store(ordinaryLineWanted, std::memory_order_release);
  g_logHook.store(hook, std::memory_order_release);
}

void LogIfEnabled(std::string_view text, std::string_view tag) {
  LogHook hook = g_logHook.load(std::memory_order_acquire);
  if (hook == nullptr) return;
  LogWantedProbe wanted = g_logWanted.load(std::memory_order_acquire);
  if (wanted != nullptr && !wanted()) return;
  hook(false, std::string(text), std::string(tag));
}

void LogAlways(std::string_view text, std::string_view tag) {
  if (LogHook hook = g_logHook.load(std::memory_order_acquire)) {
    hook(true, std::string(text), std::string(tag));
  }
}

}  // namespace ocuvant::session
