// Part geometry read from a CAD model file (STEP, BREP or STL) for the stand-in host: solids with
// their faces as host surfaces, meshed on request, and triangles for a facet set. The scene
// loader turns it into bodies, surfaces and facet sets. Reading needs the native build with
// OpenCASCADE; without it modelFilesSupported() is false and readModelFile throws.
#pragma once

#include "HostModel.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace Hostsim {

// Host surface type codes given to faces beyond plane, cylinder, cone and torus.
inline constexpr int kSurfaceTypeSpline = 40;     // Bezier surfaces
inline constexpr int kSurfaceTypeRevolution = 43; // spheres and surfaces of revolution
inline constexpr int kSurfaceTypeExtrusion = 44;  // surfaces of linear extrusion
inline constexpr int kSurfaceTypeBSpline = 45;    // B-spline surfaces
inline constexpr int kSurfaceTypeForeign = 46;    // offset surfaces and any other kind

struct ModelFileSurface {
    int type = PRO_SRF_PLANE;
    int orientation = PRO_SURF_ORIENT_OUT;
    ShapeData shape;              // in the part's unit
    std::optional<Colour> colour; // the face's own colour, else its solid's
    std::shared_ptr<SurfaceTessellator> tessellator;
};

struct ModelFileSolid {
    std::vector<ModelFileSurface> surfaces;
    std::optional<Colour> colour;
};

struct ModelFileGeometry {
    std::vector<ModelFileSolid> solids;       // STEP and BREP files
    std::vector<std::array<Point, 3>> facets; // STL files, as the file winds them
};

// Why a file gave no geometry: "cannot be read", "holds no solid", ...
class ModelFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool modelFilesSupported();

// Reads the file by its extension (.step/.stp, .brep/.brp, .stl, any case). The file's lengths
// are millimetres (STEP files are converted to millimetres on reading; BREP and STL files carry
// no unit); `millimetresPerUnit` converts them into the part's unit. Throws ModelFileError.
ModelFileGeometry readModelFile(const std::filesystem::path& file, double millimetresPerUnit);

} // namespace Hostsim
