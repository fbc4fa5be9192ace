// Meshes one solid of a model file with OpenCASCADE's mesher for each requested chord height
// and angle control, and hands out each face's triangles in the host's form. Faces of the solid
// share the points of their common edges exactly, so the welded body is closed.
#pragma once

#include "HostModel.h"

#include <TopoDS_Face.hxx>
#include <TopoDS_Solid.hxx>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Hostsim {

class SolidMesher {
public:
    // `millimetresPerUnit` converts the solid's millimetres into the part's unit.
    SolidMesher(const TopoDS_Solid& solid, double millimetresPerUnit);

    const std::vector<TopoDS_Face>& faces() const { return faces_; }

    // The face's triangles for the request, chord height in the part's unit: clockwise seen
    // from outside (reversed faces flipped). -68 for a face the mesher left without triangles,
    // -1 when meshing failed.
    ProErrors tessellate(std::size_t face, double chordHeight, double angleControl,
                         Tessellation& out);

private:
    struct Result {
        ProErrors status = PRO_TK_NO_ERROR;
        std::vector<std::optional<Tessellation>> faces;
    };
    const Result& mesh(double chordHeight, double angleControl);
    Result meshNow(double chordHeight, double angleControl);

    TopoDS_Solid solid_;
    std::vector<TopoDS_Face> faces_;
    double millimetresPerUnit_;
    double diagonal_ = 0.0; // of the bounding box, millimetres
    std::map<std::pair<double, double>, Result> cache_;
};

// The tessellator of one face of a shared SolidMesher.
class FaceTessellator : public SurfaceTessellator {
public:
    FaceTessellator(std::shared_ptr<SolidMesher> mesher, std::size_t face)
        : mesher_(std::move(mesher)), face_(face) {}
    ProErrors tessellate(double chordHeight, double angleControl, Tessellation& out) override {
        return mesher_->tessellate(face_, chordHeight, angleControl, out);
    }

private:
    std::shared_ptr<SolidMesher> mesher_;
    std::size_t face_;
};

} // namespace Hostsim
