// The length units this host knows, by the names its models carry, and their size in
// millimetres. Scene loading converts model files into a model's unit with it, and occurrence
// transformations carry the ratio of two models' units with it.
#pragma once

#include <optional>
#include <string>

namespace Hostsim {

struct Model;

// Millimetres per unit of "mm", "in", "nm", "micron", "cm", "m", "km", "mil", "ft" and "mile",
// compared whole and case-sensitively; none for any other name.
std::optional<double> millimetresPer(const std::wstring& unit);

// Millimetres per unit of a model's length unit; a model without a unit, or with a name this
// host does not know, counts as millimetres (as the plug-in counts it).
double millimetresPerUnitOf(const Model& model);

} // namespace Hostsim
