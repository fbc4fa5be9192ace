// A model's length unit, as the host names it, with its factor to millimetres: the one place
// that knows which lengths are scaled and how.
#pragma once

#include "ProToolkit.h"

#include <string>

namespace Velmora {

// Millimetres per unit for the names "mm", "in", "nm", "micron", "cm", "m", "km", "mil", "ft"
// and "mile", compared whole and case-sensitively; 1.0 for any other name.
double lengthUnitFactor(const std::string& name);

class LengthUnit {
public:
    // No unit read yet: the empty name, factor 1.0.
    LengthUnit() = default;
    // The unit of this name, its factor from the table.
    explicit LengthUnit(std::string name);

    const std::string& name() const { return name_; }
    double factor() const { return factor_; }
    // Lengths of a unit named exactly "mm" are taken as they are; any other name (one outside
    // the table too, at factor 1.0) has its lengths multiplied.
    bool isMillimetres() const { return name_ == "mm"; }

    // A length of this unit in millimetres.
    double toMillimetres(double length) const {
        return isMillimetres() ? length : length * factor_;
    }
    // A length in millimetres in this unit: multiplied by 1.0 / factor, computed once.
    double fromMillimetres(double length) const {
        return isMillimetres() ? length : length * inverse_;
    }

private:
    std::string name_;
    double factor_ = 1.0;
    double inverse_ = 1.0;
};

// The unit becomes "mm", then the expression of the model's principal length unit when the host
// has one (PRO_TK_E_NOT_FOUND from the unit or its expression keeps "mm"). Any other host failure
// is returned; the unit is then "mm".
[[nodiscard]] ProErrors readLengthUnit(ProMdl model, LengthUnit& unit);

} // namespace Velmora
