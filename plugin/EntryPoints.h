// The plug-in's entries that the toolkit runtime and the host call: start-up, shut-down (both
// declared in ProToolkitRuntime.h) and the access function of the command "Tarvelo Gateway".
#pragma once

#include "ProToolkit.h"

namespace Velmora {

// The command is available in every mode, with any model or none: always 3.
uiCmdAccessState commandAccess(uiCmdAccessMode mode);

} // namespace Velmora
