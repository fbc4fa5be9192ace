// The extraction: the model that is current in the host into the geometry model.
#pragma once

#include "CAD_Assembly.h"
#include "OptionsPersistency.h"
#include "ProToolkit.h"

#include <string>

namespace Velmora {

class CreoImport {
public:
    // Fills target from the current model, an assembly (tree, components, parts) or a part.
    // 0 when the model is complete; otherwise the first failing status (a host status, one a
    // visit action handed back, TARVELO_MODEL_NOT_USABLE for a model of another type). The
    // working context exists only during the call; what was added to target on a failure
    // stays there for the caller to discard.
    [[nodiscard]] static ProErrors computeAssembly(KorvaneGeometry::CAD_Assembly& target,
                                                   const Velmora::OptionsPersistency& options);
    // The same, and hands out the current model's name as the host gives it (wide; empty until
    // the host gave it), against which the narrow name that target records can be judged.
    [[nodiscard]] static ProErrors computeAssembly(KorvaneGeometry::CAD_Assembly& target,
                                                   const Velmora::OptionsPersistency& options,
                                                   std::wstring& rootModelName);
};

} // namespace Velmora
