// A file that this process created, held open so that it can later be removed only while it is
// still at its path: no other file can take its identity while it is held.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace KorvaneGeometry {

// Which file an open file is: device and inode off Windows; volume serial number and file index
// on Windows. The system may give a freed identity to a new file, so it names one file only
// while that file is held open.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file open under a C runtime descriptor when it is a regular file on disk;
// no value for anything else (a device such as NUL, a pipe, a folder) or when the system cannot
// tell.
std::optional<FileIdentity> diskFileIdentity(int descriptor);

class HeldFile {
public:
    // Holds nothing.
    HeldFile() = default;
    // Holds the regular disk file open under the descriptor through a handle of its own (not
    // inherited by started programs, sharing everything with others); holds nothing for
    // anything else or when no handle is left.
    static HeldFile of(int descriptor);
    ~HeldFile();
    HeldFile(HeldFile&& other) noexcept;
    HeldFile& operator=(HeldFile&& other) noexcept;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool held() const { return identity_.has_value(); }
    const std::optional<FileIdentity>& identity() const { return identity_; }

    // Removes the entry at `path` only while it is the held file, and then lets the file go: a
    // link, a folder, or another file that took the name stays, and the file stays held. True
    // when this call removed it. The entry itself is judged, never what a link leads to. Off
    // Windows the test and the removal are two steps in the entry's folder, so a file moved into
    // place in the instant between them would still go; on Windows the entry is opened, judged
    // and marked for deletion through one handle, and the name goes once no one else has the
    // file open.
    bool removeAt(const std::filesystem::path& path);

    // Lets the file go; it stays on disk.
    void release();

private:
    std::optional<FileIdentity> identity_;
    std::intptr_t handle_ = -1; // a descriptor off Windows, a HANDLE on Windows
};

} // namespace KorvaneGeometry
