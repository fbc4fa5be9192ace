// The files the stand-in host reads whole (scenes, session scripts, layouts, message files).
// Only a regular file (or a link to one) is read: a directory, a device such as /dev/zero or a
// FIFO is refused before it is opened, so that nothing waits on it or grows without end.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace Hostsim {

// "<full path>: cannot read the <what>: <reason>".
class InputFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file's bytes; `what` names the file's role in errors ("scene", "session script").
std::string readInputFile(const std::filesystem::path& file, const std::string& what);

} // namespace Hostsim
