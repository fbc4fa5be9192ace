// The ranges of chord height and angle control that the dialog's layout ("Tarvelo") gives its
// spin boxes. The host tells no spin box's range, so they are held here; a test holds them to
// the layout file.
#pragma once

#include "OptionsPersistency.h"

namespace Velmora {

struct ValueRange {
    double minimum;
    double maximum;
};

inline constexpr ValueRange kChordHeightRange{0.001, 100.0};
inline constexpr ValueRange kAngleControlRange{0.0, 1.0};

// The value itself within the range, else the nearest bound (infinities included); NaN, which
// has no nearest bound, gives the fallback.
double withinRange(double value, ValueRange range, double fallback);

// Chord height and angle control brought into the dialog's ranges, so that what a spin box
// shows is what the options hold, what an export uses and what is saved. NaN becomes the
// default.
void bringIntoDialogRanges(OptionsPersistency& options);

} // namespace Velmora
