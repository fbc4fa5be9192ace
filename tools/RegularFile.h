// Reading a file whole, for every program of the project. Only a regular file (or a link to one)
// is read: a directory, a device such as /dev/zero or a FIFO is refused before it is opened, so
// that nothing waits on it or grows without end.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace ProgramText {

// Why a file could not be read: "it is a directory", or the system's reason.
class FileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file's bytes. Throws FileReadError.
std::string readRegularFile(const std::filesystem::path& file);

} // namespace ProgramText
