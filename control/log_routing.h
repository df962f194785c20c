// Routes the log lines and notifications of the layers under the control to
// g_control (the newest control).
#pragma once

namespace ocuvant::control {

// Installs the hooks of the session and capture layers. Idempotent.
void InstallLogRouting();

}  // namespace ocuvant::control
