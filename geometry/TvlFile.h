// Internal to the exchange-file writer (ExportTVL.cpp) and its tests: how the file is created
// and finished.
#pragma once

#include "BlockWriteBuf.h"

#include <cstddef>
#include <filesystem>
#include <fstream>

namespace KorvaneGeometry::detail {

// The writes gathered before they go to the file stream: large, so that the file stream and
// the system see few calls.
inline constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// Creates the file only when nothing exists at the path (atomically, so another file that
// appears meanwhile is never truncated), then opens `stream` on it for binary writing without
// truncating. Returns false and leaves `stream` failed when the file could not be created or
// opened; the file is then not there, or was there before and is untouched.
bool openNewFile(std::ofstream& stream, const std::filesystem::path& path);

// Hands on the last block, flushes and closes the file; a failure of any of these (disk full
// at the end) throws the writer's exception for the whole assembly instead of passing for a
// complete file.
void finishFile(BlockWriteBuf& block, std::ofstream& file);

} // namespace KorvaneGeometry::detail
