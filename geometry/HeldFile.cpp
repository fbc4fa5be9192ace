#include "HeldFile.h"

#include <utility>

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

namespace {

#ifdef _WIN32

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

HANDLE osHandle(int descriptor) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

#else

FileIdentity identityOf(const struct stat& status) {
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

#endif

} // namespace

#ifdef _WIN32

std::optional<FileIdentity> diskFileIdentity(int descriptor) {
    HANDLE handle = osHandle(descriptor);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    return identityOf(handle);
}

HeldFile HeldFile::of(int descriptor) {
    HeldFile file;
    HANDLE source = osHandle(descriptor);
    if (source == INVALID_HANDLE_VALUE) {
        return file;
    }
    // Attributes only, and every sharing: the held handle keeps nobody from reading, writing,
    // renaming or deleting the file, the application with "-d" included.
    HANDLE held = ReOpenFile(source, FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (held == INVALID_HANDLE_VALUE) {
        return file;
    }
    file.handle_ = reinterpret_cast<std::intptr_t>(held);
    file.identity_ = identityOf(held);
    if (!file.identity_) {
        file.release();
    }
    return file;
}

void HeldFile::release() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
    handle_ = -1;
    identity_.reset();
}

bool HeldFile::removeAt(const std::filesystem::path& path) {
    if (!identity_) {
        return false;
    }
    // The handle holds the entry that is judged, so the removal can only take that file.
    HANDLE handle =
        CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool removed = false;
    if (identityOf(handle) == identity_) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        removed = SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                             sizeof disposition) != 0;
    }
    CloseHandle(handle);
    if (removed) {
        release(); // the deletion is done when the last handle closes
    }
    return removed;
}

#else

std::optional<FileIdentity> diskFileIdentity(int descriptor) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return identityOf(status);
}

HeldFile HeldFile::of(int descriptor) {
    HeldFile file;
    std::optional<FileIdentity> identity = diskFileIdentity(descriptor);
    if (!identity) {
        return file;
    }
    const int held = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (held < 0) {
        return file;
    }
    file.handle_ = held;
    file.identity_ = identity;
    return file;
}

void HeldFile::release() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
    }
    handle_ = -1;
    identity_.reset();
}

bool HeldFile::removeAt(const std::filesystem::path& path) {
    const std::filesystem::path name = path.filename();
    if (!identity_ || name.empty() || name == "." || name == "..") {
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
        S_ISREG(status.st_mode) && identityOf(status) == *identity_) {
        removed = ::unlinkat(folder, name.c_str(), 0) == 0;
    }
    ::close(folder);
    if (removed) {
        release();
    }
    return removed;
}

#endif

HeldFile::~HeldFile() {
    release();
}

HeldFile::HeldFile(HeldFile&& other) noexcept
    : identity_(std::exchange(other.identity_, std::nullopt)),
      handle_(std::exchange(other.handle_, -1)) {}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept {
    if (this != &other) {
        release();
        identity_ = std::exchange(other.identity_, std::nullopt);
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

} // namespace KorvaneGeometry
