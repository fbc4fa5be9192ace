#include "FileIdentity.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace KorvaneGeometry {

#ifdef _WIN32

namespace {

std::optional<FileIdentity> identityOf(HANDLE handle) {
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

} // namespace

std::optional<FileIdentity> diskFileIdentity(int descriptor) {
    const intptr_t handle = _get_osfhandle(descriptor);
    if (handle == -1) {
        return std::nullopt;
    }
    return identityOf(reinterpret_cast<HANDLE>(handle));
}

bool removeIfSameFile(const std::filesystem::path& path, const FileIdentity& identity) {
    // The handle holds the file that is judged, so the removal can only take that file.
    HANDLE handle =
        CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool removed = false;
    if (identityOf(handle) == identity) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        removed = SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                             sizeof disposition) != 0;
    }
    CloseHandle(handle);
    return removed;
}

#else

std::optional<FileIdentity> diskFileIdentity(int descriptor) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

bool removeIfSameFile(const std::filesystem::path& path, const FileIdentity& identity) {
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    // The folder is held open, so the test and the removal look at the same folder even when
    // one above it is moved meanwhile.
    const std::filesystem::path parent = path.parent_path();
    const int folder =
        ::open(parent.empty() ? "." : parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return false;
    }
    struct stat status {};
    bool removed = false;
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(status.st_mode) &&
        FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                     static_cast<std::uint64_t>(status.st_ino)} == identity) {
        removed = ::unlinkat(folder, name.c_str(), 0) == 0;
    }
    ::close(folder);
    return removed;
}

#endif

} // namespace KorvaneGeometry
