// File-system paths as UTF-8 text and back, whatever the locale: on POSIX a path's bytes are
// taken as UTF-8, on Windows its UTF-16 is converted. The locale's wide conversion
// (path::wstring, path(std::wstring) off Windows) fails on any name outside ASCII in the "C"
// locale, so the stand-in host never uses it.
#pragma once

#include <filesystem>
#include <string>

namespace Hostsim {

std::string utf8Path(const std::filesystem::path& path);
std::filesystem::path pathFromUtf8(const std::string& text);

// The path's text as the host keeps it (wide), and a host path text as a path.
std::wstring widePath(const std::filesystem::path& path);
// A host path as text: backslashes become the platform's separator off Windows.
std::filesystem::path hostPath(const std::wstring& text);

} // namespace Hostsim
