// Which file an open file is, as the system tells it, so that a writer can later remove the
// very file it created and never another one that has taken its name since.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace KorvaneGeometry {

// Device and inode off Windows; volume serial number and file index on Windows.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file open under a C runtime descriptor when it is a regular file on disk;
// no value for anything else (a device such as NUL, a pipe, a folder) or when the system cannot
// tell.
std::optional<FileIdentity> diskFileIdentity(int descriptor);

// Removes the entry at `path` only while it is the regular file `identity` names: a link, a
// folder, or another file that took the name stays. True when this call removed it. The entry
// itself is judged, never what a link leads to. Off Windows the test and the removal are two
// steps in the entry's folder, so a file moved into place between them could still go; on
// Windows the file is opened, judged and removed through one handle.
bool removeIfSameFile(const std::filesystem::path& path, const FileIdentity& identity);

} // namespace KorvaneGeometry
