// File-system paths as UTF-8 text and back (the programs' shared conversion), and as the host's
// wide text, whatever the locale. The locale's wide conversion (path::wstring,
// path(std::wstring) off Windows) fails on any name outside ASCII in the "C" locale, so the
// stand-in host never uses it.
#pragma once

#include "Utf8Path.h"

#include <filesystem>
#include <string>

namespace Hostsim {

using ProgramText::pathFromUtf8;
using ProgramText::utf8Path;

// The path's text as the host keeps it (wide), and a host path text as a path.
std::wstring widePath(const std::filesystem::path& path);
// A host path as text: backslashes become the platform's separator off Windows.
std::filesystem::path hostPath(const std::wstring& text);

} // namespace Hostsim
