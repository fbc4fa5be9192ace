// Internal to the exchange-file writer (ExportTVL.cpp) and its tests: how the file is created
// and finished.
#pragma once

#include "BlockWriteBuf.h"
#include "HeldFile.h"

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <streambuf>

namespace KorvaneGeometry::detail {

// The writes gathered before they go to the file: large, so that the system sees few calls.
inline constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// How the creation of a new file went.
enum class Creation {
    Created, // the file is new and ours; it may still have failed to open for writing
    Taken,   // something is at the path (a link to nothing too): nothing was opened or changed
    Failed,  // nothing could be created (no such folder, no right to write there)
    // What the system opened at the path is no regular file on disk (a device such as NUL on
    // Windows): it was closed again unwritten.
    NotAFile,
};

// A stream buffer over a file that it creates itself: the creation fails when anything exists
// at the path, and every write then goes through the handle of that creation, so another file
// that appears at the path is never opened, truncated or written. Only a regular file on disk is
// kept open, and its identity is known from then on. Others may open the file while it is
// written. It gathers nothing itself; put a BlockWriteBuf in front of it.
class NewFileBuf : public std::streambuf {
public:
    NewFileBuf() = default;
    // Closes the file, if still open, ignoring a failure.
    ~NewFileBuf() override;
    NewFileBuf(const NewFileBuf&) = delete;
    NewFileBuf& operator=(const NewFileBuf&) = delete;

    Creation create(const std::filesystem::path& path);
    bool isOpen() const { return file_ != nullptr; }
    // The file created, held from create() on when it answered Created (unless the system had
    // no handle left for it).
    HeldFile& held() { return held_; }
    // Flushes and closes; false when either failed or nothing was open.
    bool close();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    std::FILE* file_ = nullptr;
    HeldFile held_;
};

// Hands on the last block, flushes and closes the file; a failure of any of these (disk full
// at the end) throws the writer's exception for the whole assembly instead of passing for a
// complete file.
void finishFile(BlockWriteBuf& block, NewFileBuf& file);

// Tests only: called when a model that cannot be written at all has failed and its file is
// closed, just before that file is removed, so that a test can put something in its place. An
// empty function removes the hook.
void setBeforeRemovalForTesting(std::function<void()> hook);

} // namespace KorvaneGeometry::detail
