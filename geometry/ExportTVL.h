// The exchange-file writer: puts a finished model into a new ".tvl" file.
#pragma once

#include "CAD_Assembly.h"

#include <filesystem>

namespace KorvaneGeometry {

// Writes `assembly` as an exchange file at `path`. Something already at the path (a file, a
// directory, a link to either) is left untouched and the call returns at once. A model with no
// components and no parts leaves no file behind. Any failure to write throws
// KorvaneUtil::SerializerException naming the value that could not be written; a file written
// that far stays. An existence test that fails other than by "not found" throws
// std::filesystem::filesystem_error before anything is opened. Build the path from wide text where
// it may hold characters outside the Windows ANSI code page: a narrow std::string is read in that
// code page there.
void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path);

} // namespace KorvaneGeometry
