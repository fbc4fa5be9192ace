#include "HostUnits.h"

#include "HostModel.h"

#include <utility>

namespace Hostsim {

std::optional<double> millimetresPer(const std::wstring& unit) {
    static const std::pair<const wchar_t*, double> table[] = {
        {L"mm", 1.0},   {L"in", 25.4},       {L"nm", 0.000001},  {L"micron", 0.001},
        {L"cm", 10.0},  {L"m", 1000.0},      {L"km", 1000000.0}, {L"mil", 0.0254},
        {L"ft", 304.8}, {L"mile", 1609344.0}};
    for (const auto& [name, factor] : table) {
        if (unit == name) {
            return factor;
        }
    }
    return std::nullopt;
}

double millimetresPerUnitOf(const Model& model) {
    return model.lengthUnit ? millimetresPer(*model.lengthUnit).value_or(1.0) : 1.0;
}

} // namespace Hostsim
