// Log lines of the layers under the control. Every line becomes the control's
// LogInfo event; the control installs the hook that routes it there.
#pragma once

#include <string>

namespace ocuvant::session {

// always: a result line (fires whatever "log" says); otherwise an ordinary line
// that fires only when logging is enabled. May be called on any thread.
using LogHook = void (*)(bool always, const std::string& text, const std::string& tag);

// Installs the hook (nullptr: lines are dropped). Thread-safe.
void SetLogHook(LogHook hook);

void LogIfEnabled(const std::string& text, const std::string& tag);
void LogAlways(const std::string& text, const std::string& tag);

}  // namespace ocuvant::session
