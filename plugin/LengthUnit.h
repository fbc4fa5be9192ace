// A model's length unit, as the host names it, and its factor to millimetres. The current
// model and every extracted part resolve their unit this one way.
#pragma once

#include "ProToolkit.h"

#include <string>

namespace Velmora {

// Millimetres per unit for the names "mm", "in", "nm", "micron", "cm", "m", "km", "mil", "ft"
// and "mile", compared whole and case-sensitively; 1.0 for any other name.
double lengthUnitFactor(const std::string& name);

// name becomes "mm", then the expression of the model's principal length unit when the host
// has one (PRO_TK_E_NOT_FOUND from the unit or its expression keeps "mm"); factor follows the
// name. Any other host failure is returned; factor is then left at 1.0.
ProErrors readLengthUnit(ProMdl model, std::string& name, double& factor);

} // namespace Velmora
