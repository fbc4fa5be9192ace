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

ProErrors readLengthUnit(ProMdl model, std::string& name, double& factor) {
    name = "mm";
    factor = 1.0;
    ProUnitsystem system{};
    ProErrors status = ProMdlPrincipalunitsystemGet(model, &system);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    ProUnititem unit{};
    status = ProUnitsystemUnitGet(&system, PRO_UNITTYPE_LENGTH, &unit);
    if (status == PRO_TK_NO_ERROR) {
        ProLine expression{};
        status = ProUnitExpressionGet(&unit, expression);
        if (status == PRO_TK_NO_ERROR) {
            name = narrowText(expression, PRO_LINE_SIZE);
        }
    }
    if (status != PRO_TK_NO_ERROR && status != PRO_TK_E_NOT_FOUND) {
        return status;
    }
    factor = lengthUnitFactor(name);
    return PRO_TK_NO_ERROR;
}

} // namespace Velmora
