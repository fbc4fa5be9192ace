#include "ExportTVL.h"

#include "TvlArchive.h"
#include "TvlFile.h"
#include "TvlLayout.h"

#include <cstdio>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

namespace KorvaneGeometry {

namespace detail {

namespace {

// Creates an empty file, failing when anything exists at the path: the one step that makes
// "nothing there" and "now it is ours" a single decision of the file system.
bool createExclusively(const std::filesystem::path& path) {
#ifdef _WIN32
    // Wide path, so that names outside the ANSI code page work; others may share the file.
    int fd = -1;
    if (_wsopen_s(&fd, path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYNO,
                  _S_IREAD | _S_IWRITE) != 0) {
        return false;
    }
    _close(fd);
    return true;
#else
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
#endif
}

} // namespace

bool openNewFile(std::ofstream& stream, const std::filesystem::path& path) {
    if (!createExclusively(path)) {
        stream.setstate(std::ios::failbit);
        return false;
    }
    // in|out opens the file just created without creating or truncating anything ("r+").
    stream.open(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!stream.is_open()) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        stream.setstate(std::ios::failbit);
        return false;
    }
    return true;
}

void finishFile(BlockWriteBuf& block, std::ofstream& file) {
    const bool handedOn = block.flushBlock();
    file.close();
    if (!handedOn || file.fail()) {
        KorvaneUtil::detail::throwWriteError<CAD_Assembly>();
    }
}

} // namespace detail

void ExportTVL(const CAD_Assembly& assembly, const std::filesystem::path& path) {
    if (std::filesystem::exists(path)) {
        return;
    }

    std::ofstream file;
    detail::openNewFile(file, path);
    // The writer's stream gathers into blocks for the file stream. Destroyed in reverse order:
    // the last block is handed on, then the file stream flushes and closes.
    BlockWriteBuf block(*file.rdbuf(), detail::kBlockSize);
    std::ostream stream(&block);
    if (!file.is_open()) {
        // A file that could not be opened fails at the very first write, which then names
        // the version text's first character.
        stream.setstate(std::ios::badbit);
    }

    try {
        ArchiveWithVersion<std::ostream> archive{&stream, kFileVersion, [] { return false; }};
        KorvaneUtil::serialize(assembly, archive);
        detail::finishFile(block, file);
    } catch (const std::runtime_error&) {
        // The one runtime error of the writer comes from a model it cannot write at all:
        // what was written of it is of no use to anyone.
        file.close();
        try {
            std::filesystem::remove(path);
        } catch (const std::filesystem::filesystem_error&) {
            // The partial file stays; nothing more can be done about it here.
        }
    }
}

} // namespace KorvaneGeometry
