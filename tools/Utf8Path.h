// File-system paths as UTF-8 text and back, whatever the locale: on POSIX a path's bytes are
// taken as UTF-8, on Windows its UTF-16 is converted. The locale's conversions (path::string,
// path(std::string)) fail or change any name outside ASCII in the "C" locale or the Windows code
// page, so the programs never use them for a path given or shown as text.
#pragma once

#include <filesystem>
#include <string>

namespace ProgramText {

std::string utf8Path(const std::filesystem::path& path);
std::filesystem::path pathFromUtf8(const std::string& text);

} // namespace ProgramText
