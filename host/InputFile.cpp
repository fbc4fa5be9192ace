// Reading the host's input files whole, refusing anything that is not a regular file.
#include "InputFile.h"

#include "PathText.h"
#include "RegularFile.h"

#include <system_error>

namespace Hostsim {

std::string readInputFile(const std::filesystem::path& file, const std::string& what) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec);
    const std::string shown = utf8Path(ec ? file : full);
    try {
        return ProgramText::readRegularFile(file);
    } catch (const ProgramText::FileReadError& error) {
        throw InputFileError(shown + ": cannot read the " + what + ": " + error.what());
    }
}

} // namespace Hostsim
