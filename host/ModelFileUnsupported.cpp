// Model files in a build without OpenCASCADE (the Windows build): every read is refused.
#include "ModelFile.h"

namespace Hostsim {

bool modelFilesSupported() {
    return false;
}

ModelFileGeometry readModelFile(const std::filesystem::path& /*file*/,
                                double /*millimetresPerUnit*/) {
    throw ModelFileError("model files need the native build with OpenCASCADE");
}

} // namespace Hostsim
