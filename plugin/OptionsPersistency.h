// The export options that the dialog edits and the extraction reads, the one global instance,
// and their per-user copy in the registry (HKEY_CURRENT_USER "SOFTWARE\Korvane\Tarvelo\Options").
#pragma once

#include "ImportAttribute.h"

#include <string>
#include <vector>

namespace Velmora {

struct OptionsPersistency {
    std::wstring ctiParameter = L"COMPARATIVE_TRACKING_INDEX";
    std::vector<ImportAttribute> importAttributes;
    double chordHeight = 0.03;
    double angleControl = 0.6;
};

} // namespace Velmora

// Lives from module load to unload; the dialog works on it directly.
extern Velmora::OptionsPersistency g_options;

Velmora::OptionsPersistency& getOptions();

// The defaults, overlaid value by value with what the registry holds. Never fails: anything
// unreadable keeps its default.
Velmora::OptionsPersistency loadOptions();

// Writes the options; an empty CTI name or an empty list leaves the stored value as it is.
// Failures are not reported.
void saveOptions(const Velmora::OptionsPersistency& options);
