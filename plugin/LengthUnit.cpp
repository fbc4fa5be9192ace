#include "LengthUnit.h"

#include "NarrowText.h"
#include "ProFunctions.h"

#include <array>
#include <utility>

namespace Velmora {

double lengthUnitFactor(const std::string& name) {
    static const std::array<std::pair<const char*, double>, 10> kUnits{{
        {"mm", 1.0},
        {"in", 25.4},
        {"nm", 0.000001},
        {"micron", 0.001},
        {"cm", 10.0},
        {"m", 1000.0},
        {"km", 1000000.0},
        {"mil", 0.0254},
        {"ft", 304.8},
        {"mile", 1609344.0},
    }};
    for (const auto& [unit, factor] : kUnits) {
        if (name == unit) {
            return factor;
        }
    }
    return 1.0;
}

LengthUnit::LengthUnit(std::string name)
    : name_(std::move(name)), factor_(lengthUnitFactor(name_)), inverse_(1.0 / factor_) {}

ProErrors readLengthUnit(ProMdl model, LengthUnit& unit) {
    unit = LengthUnit("mm");
    ProUnitsystem system{};
    if (ProErrors status = ProMdlPrincipalunitsystemGet(model, &system);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    // A unit or an expression that the host does not find keeps "mm".
    ProUnititem length{};
    if (ProErrors status = ProUnitsystemUnitGet(&system, PRO_UNITTYPE_LENGTH, &length);
        status != PRO_TK_NO_ERROR) {
        return status == PRO_TK_E_NOT_FOUND ? PRO_TK_NO_ERROR : status;
    }
    ProLine expression{};
    if (ProErrors status = ProUnitExpressionGet(&length, expression); status != PRO_TK_NO_ERROR) {
        return status == PRO_TK_E_NOT_FOUND ? PRO_TK_NO_ERROR : status;
    }
    unit = LengthUnit(narrowText(expression, PRO_LINE_SIZE));
    return PRO_TK_NO_ERROR;
}

} // namespace Velmora
