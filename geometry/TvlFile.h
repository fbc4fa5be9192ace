// Internal to the exchange-file writer (ExportTVL.cpp) and its tests: how the file is created
// and finished.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>

namespace KorvaneGeometry::detail {

// The file stream's buffer: large, so that the many small writes reach the system in few calls.
inline constexpr std::size_t kFileBufferSize = std::size_t{1} << 20;

// Creates the file only when nothing exists at the path (atomically, so another file that
// appears meanwhile is never truncated), then opens `stream` on it for binary writing without
// truncating. Returns false and leaves `stream` failed when the file could not be created or
// opened; the file is then not there, or was there before and is untouched.
bool openNewFile(std::ofstream& stream, const std::filesystem::path& path);

// Flushes and closes; a failure of either (disk full at the last buffer) throws the writer's
// exception for the whole assembly instead of passing for a complete file.
void closeChecked(std::ofstream& stream);

} // namespace KorvaneGeometry::detail
