// The feature visit of the current assembly and, from within itself, of every sub-assembly:
// builds the tree of assembly nodes and hands each visible part occurrence to addPart, keeping
// the component path and the node stack of the context in step with the walk.
#pragma once

#include "ProToolkit.h"

namespace Velmora {

// Action of ProSolidFeatVisit; data is handed on unchanged to the nested walks. 0 lets the walk
// go on and leaves the path and the node stack as they were before the feature. A component
// that would be taken (shown, not hidden, its model found) below the 25 levels a component path
// holds ends the walk with TARVELO_NESTING_TOO_DEEP; one that is passed over there is passed over
// as anywhere else. A component whose model is neither an assembly nor a part ends it with
// TARVELO_MODEL_NOT_USABLE.
[[nodiscard]] ProErrors visitAssemblyFeature(ProFeature* feature, ProErrors status,
                                             ProAppData data);

} // namespace Velmora
