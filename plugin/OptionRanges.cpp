#include "OptionRanges.h"

#include <cmath>

namespace Velmora {

double withinRange(double value, ValueRange range, double fallback) {
    if (std::isnan(value)) {
        return fallback;
    }
    if (value < range.minimum) {
        return range.minimum;
    }
    if (value > range.maximum) {
        return range.maximum;
    }
    return value;
}

void bringIntoDialogRanges(OptionsPersistency& options) {
    const OptionsPersistency defaults;
    options.chordHeight = withinRange(options.chordHeight, kChordHeightRange, defaults.chordHeight);
    options.angleControl =
        withinRange(options.angleControl, kAngleControlRange, defaults.angleControl);
}

} // namespace Velmora
