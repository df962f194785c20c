// Log lines of the layers under the control. Every line becomes the control's
// LogInfo event; the control installs the hook that routes it there.
#pragma once

#include <string>
#include <string_view>

namespace ocuvant::session {

// always: a result line (fires whatever "log" says); otherwise an ordinary line
// that fires only when logging is enabled. May be called on any thread.
using LogHook = void (*)(bool always, const std::string& text, const std::string& tag);
// Whether an ordinary line would be shown now. Asked before such a line is built, so
// that with logging off the frame path builds (and allocates) nothing.
using LogWantedProbe = bool (*)();

// Installs the hook (nullptr: lines are dropped) and the probe for ordinary lines
// (nullptr: every ordinary line goes to the hook, which decides). Thread-safe.
void SetLogHook(LogHook hook, LogWantedProbe ordinaryLineWanted = nullptr);

void LogIfEnabled(std::string_view text, std::string_view tag);
void LogAlways(std::string_view text, std::string_view tag);

}  // namespace ocuvant::session
