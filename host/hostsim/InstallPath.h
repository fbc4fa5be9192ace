// What the external application's installer leaves behind: its folder as the machine-wide value
// "Path" under "SOFTWARE\Korvane\Tarvelo". hostsim writes it for --tarvelo-dir, into the run's
// registry (off Windows the platform layer's file store, on Windows the system's registry).
#pragma once

#include <string>

namespace Hostsim {

// Writes the folder as REG_SZ text; on failure returns false and says why in `error`.
bool writeTarveloPath(const std::wstring& folder, std::string& error);

} // namespace Hostsim
