#include "ExportTVL.h"

#include "TvlArchive.h"
#include "TvlFile.h"
#include "TvlLayout.h"

#include <cerrno>
#include <ostream>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

namespace KorvaneGeometry {

namespace detail {

namespace {
std::function<void()> g_beforeRemoval;
} // namespace

void setBeforeRemovalForTesting(std::function<void()> hook) {
    g_beforeRemoval = std::move(hook);
}

NewFileBuf::~NewFileBuf() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

Creation NewFileBuf::create(const std::filesystem::path& path) {
    held_.release();
#ifdef _WIN32
    // Wide path, so that names outside the ANSI code page work; others may share the file.
    int fd = -1;
    const errno_t error = _wsopen_s(&fd, path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                                    _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (error != 0) {
        return error == EEXIST ? Creation::Taken : Creation::Failed;
    }
    // A device name opens the device: nothing written there would be a file.
    if (!diskFileIdentity(fd)) {
        _close(fd);
        return Creation::NotAFile;
    }
    held_ = HeldFile::of(fd);
    file_ = _fdopen(fd, "wb");
    if (file_ == nullptr) {
        _close(fd);
        return Creation::Created;
    }
#else
    // "x": the system creates the file only when nothing, not even a link, is at the path, and
    // what it creates is a regular file: a device or a pipe at the path makes the path taken.
    file_ = std::fopen(path.c_str(), "wbx");
    if (file_ == nullptr) {
        return errno == EEXIST ? Creation::Taken : Creation::Failed;
    }
    held_ = HeldFile::of(::fileno(file_));
#endif
    // The blocks in front of this buffer are the only gathering needed.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return Creation::Created;
}

bool NewFileBuf::close() {
    if (file_ == nullptr) {
        return false;
    }
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return flushed && closed;
}

NewFileBuf::int_type NewFileBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    if (file_ == nullptr || std::fputc(traits_type::to_char_type(c), file_) == EOF) {
        return traits_type::eof();
    }
    return c;
}

std::streamsize NewFileBuf::xsputn(const char* data, std::streamsize count) {
    if (file_ == nullptr || count <= 0) {
        return 0;
    }
    return static_cast<std::streamsize>(
        std::fwrite(data, 1, static_cast<std::size_t>(count), file_));
}

int NewFileBuf::sync() {
    return file_ != nullptr && std::fflush(file_) == 0 ? 0 : -1;
}

void finishFile(BlockWriteBuf& block, NewFileBuf& file) {
    const bool handedOn = block.flushBlock();
    const bool closed = file.close();
    if (!handedOn || !closed) {
        KorvaneUtil::detail::throwWriteError<CAD_Assembly>();
    }
}

} // namespace detail

void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path, TvlFileState& state,
               HeldFile& created) {
    state = TvlFileState::Untouched;
    created.release();
    // The entry itself decides: a link takes the path, whatever it leads to.
    if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
        return;
    }

    detail::NewFileBuf file;
    switch (file.create(path)) {
    case detail::Creation::Taken:
        return; // something appeared at the path since the test
    case detail::Creation::Created:
        state = TvlFileState::Created;
        created = std::move(file.held());
        break;
    case detail::Creation::Failed:
    case detail::Creation::NotAFile:
        break;
    }
    // The writer's stream gathers into blocks for the file. Destroyed in reverse order: the
    // last block is handed on, then the file is closed.
    BlockWriteBuf block(file, detail::kBlockSize);
    std::ostream stream(&block);
    if (!file.isOpen()) {
        // A file that could not be opened, or a device in its place, fails at the very first
        // write, which then names the version text's first character.
        stream.setstate(std::ios::badbit);
    }

    try {
        ArchiveWithVersion<std::ostream> archive{&stream, kFileVersion, [] { return false; }};
        KorvaneUtil::serialize(assembly, archive);
        detail::finishFile(block, file);
        state = TvlFileState::Complete;
    } catch (const std::runtime_error&) {
        // The one runtime error of the writer comes from a model it cannot write at all:
        // what was written of it is of no use to anyone.
        file.close();
        if (detail::g_beforeRemoval) {
            detail::g_beforeRemoval();
        }
        if (state == TvlFileState::Created && created.removeAt(path)) {
            state = TvlFileState::Removed;
        }
        // Otherwise the partial file stays; the state tells the caller.
    }
}

void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path,
               TvlFileState& state) {
    HeldFile created;
    ExportTVL(assembly, path, state, created);
}

void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path) {
    TvlFileState ignored = TvlFileState::Untouched;
    ExportTVL(assembly, path, ignored);
}

} // namespace KorvaneGeometry
