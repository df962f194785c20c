// The simulator's devices inside the module, chosen explicitly by the host's
// environment when a control is created: OCUVANT_SIMULATOR=1 (the simulated person 1),
// =subject=N (person N), =replay=DIR (recorded iris frames) or =illuminator (the
// virtual illuminator only, for the DirectShow virtual cameras). Unset: real devices.
#pragma once

namespace ocuvant::ocx {

// True when this control uses the simulator (then call ReleaseSimulator when it goes).
// The first control installs the virtual cameras and illuminator, the last one removes them.
bool AcquireSimulator();
void ReleaseSimulator();

}  // namespace ocuvant::ocx
