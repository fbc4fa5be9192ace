// The stored form of chord height and angle control: an unsigned 32-bit count of thousandths.
#pragma once

#include <cstdint>
#include <optional>

namespace Velmora {

double fromStoredThousandths(std::uint32_t stored);

// Truncates toward zero; a product within rounding error of a whole number counts as that
// number, so a loaded value saves back unchanged. Values below 0 store 0 and values beyond the
// 32-bit range store its maximum; NaN has no stored form and gives no value.
std::optional<std::uint32_t> toStoredThousandths(double value);

} // namespace Velmora
