#include "Thousandths.h"

#include <cmath>
#include <limits>

namespace Velmora {

double fromStoredThousandths(std::uint32_t stored) {
    return static_cast<double>(stored) * 0.001;
}

std::optional<std::uint32_t> toStoredThousandths(double value) {
    if (std::isnan(value)) {
        return std::nullopt;
    }
    constexpr double kMax = std::numeric_limits<std::uint32_t>::max();
    double product = value * 1000.0;
    if (!(product > 0.0)) {
        return 0u;
    }
    if (product >= kMax) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    // stored * 0.001 * 1000.0 can land a few units in the last place below stored.
    double nearest = std::round(product);
    double whole = std::fabs(product - nearest) <= 1e-12 * nearest ? nearest : std::trunc(product);
    return static_cast<std::uint32_t>(whole);
}

} // namespace Velmora
