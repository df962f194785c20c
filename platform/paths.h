// Paths: the module directory and Windows-style file names mapped to the local file system.
#pragma once

#include <optional>
#include <string>

namespace ocuvant::platform {

// Directory of the running executable, with a trailing separator.
std::string ModuleDirectory();

// Maps a Windows-style name to a local path: '\' becomes '/', doubled separators
// are harmless, "x:\..." maps under the directory named by OCUVANT_DRIVE_X and
// yields nullopt (a missing drive) when that variable is unset.
std::optional<std::string> MapPath(const std::string& name);

// Local time formatted with strftime-style `format`.
std::string FormatLocalTime(const char* format);

}  // namespace ocuvant::platform
