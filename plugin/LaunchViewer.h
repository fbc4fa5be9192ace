// Starts the external application from the command line that the export run builds.
#pragma once

#include <optional>
#include <string>

namespace Velmora {

// The command line as the wide text the operating system takes: the narrow text read in the code
// page of the runtime's conversion, which made its paths (ASCII stays unit for unit), so that the
// paths name the files on disk. No value for bytes that do not convert back to themselves, or for
// an embedded NUL, which would cut the command short.
std::optional<std::wstring> widenCommandLine(const std::string& commandLine);

} // namespace Velmora

// Starts the program that the command line names, without waiting for it and without keeping a
// handle of it. True only when the process was created.
bool launchViewer(const std::string& commandLine);
