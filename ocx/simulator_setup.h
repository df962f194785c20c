// The simulator's devices inside the module, chosen explicitly by the host's
// environment when a control is created: OCUVANT_SIMULATOR=1 (the simulated person 1),
// =subject=N (person N) or =replay=DIR (recorded iris frames). Unset: real devices only.
#pragma once

namespace ocuvant::ocx {

// True when this control uses the simulator (then call ReleaseSimulator when it goes).
// The first control installs the virtual cameras and illuminator, the last one removes them.
bool AcquireSimulator();
void ReleaseSimulator();

}  // namespace ocuvant::ocx
