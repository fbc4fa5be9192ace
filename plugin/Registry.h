// Where the external application "Tarvelo.exe" is installed, as its installation records it in
// the machine-wide registry (HKEY_LOCAL_MACHINE "SOFTWARE\Korvane\Tarvelo", value "Path").
#pragma once

#include <optional>
#include <string>

namespace Velmora::Registry {

// The install directory as narrow text in the code page of the runtime's conversion (the ANSI
// code page on Windows, UTF-8 elsewhere; never the C locale); no value when the key or the value
// is missing or unreadable, when its data do not fit 1024 bytes (511 characters and their NUL),
// or when it is not text. A directory that has no exact narrow form gives the empty text.
std::optional<std::string> readTarveloPath();

} // namespace Velmora::Registry
