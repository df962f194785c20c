// Modal message box stand-in: a host-installable handler; the default writes one
// line to stderr and never blocks.
#pragma once

#include <functional>
#include <string>

namespace ocuvant::platform {

using MessageBoxHandler = std::function<void(const std::string& text, const std::string& caption)>;

// Installs a handler (nullptr restores the default). Thread-safe.
void SetMessageBoxHandler(MessageBoxHandler handler);
void ShowMessageBox(const std::string& text, const std::string& caption = "");

}  // namespace ocuvant::platform
