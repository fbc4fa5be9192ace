// The exchange-file writer: puts a finished model into a new ".tvl" file.
#pragma once

#include "CAD_Assembly.h"
#include "HeldFile.h"

#include <filesystem>

namespace KorvaneGeometry {

// What one write did at its path. It is kept up to date while the write goes on, so that it is
// right also when the write throws: the caller learns whether a file at the path is its own.
enum class TvlFileState {
    // Something was at the path (a file, a directory, a link, a link to nothing too), nothing
    // could be created there, or what opened there is no regular file on disk (a device): the
    // path is as it was.
    Untouched,
    // The write created the file and did not finish it: a write failed, or the file of a model
    // with nothing to write could not be removed again.
    Created,
    // The write created a regular file on disk and the whole model is in it.
    Complete,
    // The write created the file and removed it again: the model has nothing to write.
    Removed,
};

// Writes `assembly` as an exchange file at `path`, into a file that this call creates itself.
// Something already at the path, judged by the entry itself (a link to nothing takes the path
// too), or something that appears there before the file is created, is left untouched and the
// call returns. Only a regular file on disk is written: a device opened under the name (NUL on
// Windows) counts as a file that could not be opened. A model with no components and no parts
// leaves no file behind. Any failure to write throws KorvaneUtil::SerializerException naming the
// value that could not be written; a file written that far stays. A test of the path that fails
// other than by "not found" throws std::filesystem::filesystem_error before anything is created.
// `created` holds the file from the moment `state` is Created, so that the caller can later
// remove that very file and no other (HeldFile::removeAt). Build the path from wide text where it
// may hold characters outside the Windows ANSI code page: a narrow std::string is read in that
// code page there.
void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path, TvlFileState& state,
               HeldFile& created);

// The same write, for callers that need not know which file it created.
void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path,
               TvlFileState& state);

// The same write, for callers that need not know what it did at the path.
void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path);

} // namespace KorvaneGeometry
