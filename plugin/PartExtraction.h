// One part occurrence into the geometry model: the part with its CTI, attributes and welded
// bodies in millimetres the first time its name is met, and for every kept occurrence a placed
// component linked under the assembly node being walked.
#pragma once

#include "ProToolkit.h"

namespace Velmora {

// model points to the part's model handle; feature is the occurrence's component feature, or
// null when the part is the current model itself. 0 when the occurrence was handled or passed
// over (with its warnings shown), else the first failing status.
[[nodiscard]] ProErrors addPart(ProMdl* model, ProFeature* feature);

} // namespace Velmora
