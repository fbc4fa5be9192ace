// Meshing per request with BRepMesh_IncrementalMesh, and the shared edge points.
#include "SolidMesher.h"
#include "OcctOutput.h"

#include <BRepBndLib.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <IMeshTools_Parameters.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <Standard_Failure.hxx>
#include <TopExp_Explorer.hxx>
#include <TopLoc_Location.hxx>
#include <TopoDS.hxx>
#include <gp_Pnt.hxx>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace Hostsim {

namespace {

// Boundary points of different faces closer than this (millimetres) are one point.
constexpr double kSharedPointTolerance = 1e-7;

struct CellHash {
    std::size_t operator()(const std::array<long long, 3>& c) const {
        std::size_t h = 1469598103934665603ull;
        for (long long v : c) {
            h = (h ^ static_cast<std::size_t>(v)) * 1099511628211ull;
        }
        return h;
    }
};

// Makes coinciding boundary points bit-identical: the first point seen stands for all points
// within the tolerance of it.
class SharedPoints {
public:
    gp_Pnt canonical(const gp_Pnt& p) {
        const std::array<long long, 3> cell = cellOf(p);
        for (long long dx = -1; dx <= 1; ++dx) {
            for (long long dy = -1; dy <= 1; ++dy) {
                for (long long dz = -1; dz <= 1; ++dz) {
                    auto it = cells_.find({cell[0] + dx, cell[1] + dy, cell[2] + dz});
                    if (it == cells_.end()) {
                        continue;
                    }
                    for (const gp_Pnt& q : it->second) {
                        if (q.SquareDistance(p) <= kSharedPointTolerance * kSharedPointTolerance) {
                            return q;
                        }
                    }
                }
            }
        }
        cells_[cell].push_back(p);
        return p;
    }

private:
    static std::array<long long, 3> cellOf(const gp_Pnt& p) {
        return {static_cast<long long>(std::floor(p.X() / kSharedPointTolerance)),
                static_cast<long long>(std::floor(p.Y() / kSharedPointTolerance)),
                static_cast<long long>(std::floor(p.Z() / kSharedPointTolerance))};
    }
    std::unordered_map<std::array<long long, 3>, std::vector<gp_Pnt>, CellHash> cells_;
};

} // namespace

SolidMesher::SolidMesher(const TopoDS_Solid& solid, double millimetresPerUnit)
    : solid_(solid), millimetresPerUnit_(millimetresPerUnit) {
    for (TopExp_Explorer it(solid_, TopAbs_FACE); it.More(); it.Next()) {
        faces_.push_back(TopoDS::Face(it.Current()));
    }
    Bnd_Box box;
    BRepBndLib::Add(solid_, box, false);
    if (!box.IsVoid()) {
        diagonal_ = std::sqrt(box.SquareExtent());
    }
}

ProErrors SolidMesher::tessellate(std::size_t face, double chordHeight, double angleControl,
                                  Tessellation& out) {
    const Result& result = mesh(chordHeight, angleControl);
    if (result.status != PRO_TK_NO_ERROR) {
        return result.status;
    }
    if (face >= result.faces.size() || !result.faces[face]) {
        return PRO_TK_INCOMPLETE_TESS;
    }
    out = *result.faces[face];
    return PRO_TK_NO_ERROR;
}

const SolidMesher::Result& SolidMesher::mesh(double chordHeight, double angleControl) {
    const std::pair<double, double> key{chordHeight, angleControl};
    auto it = cache_.find(key);
    if (it == cache_.end()) {
        it = cache_.emplace(key, meshNow(chordHeight, angleControl)).first;
    }
    return it->second;
}

SolidMesher::Result SolidMesher::meshNow(double chordHeight, double angleControl) {
    const OcctOutputGuard output;
    Result result;
    result.faces.resize(faces_.size());
    try {
        // The same angle limit as the host's own primitives; a floor on the chord height keeps
        // a tiny request from meshing without end.
        IMeshTools_Parameters parameters;
        parameters.Deflection = std::max(chordHeight * millimetresPerUnit_, diagonal_ * 1e-5);
        parameters.Angle =
            (90.0 - 85.0 * std::clamp(angleControl, 0.0, 1.0)) * std::numbers::pi / 180.0;
        parameters.Relative = false;
        parameters.InParallel = false;
        // Faces of several solids may share their definitions (instances in an assembly file):
        // clear what an earlier request left before meshing anew.
        BRepTools::Clean(solid_);
        BRepMesh_IncrementalMesh mesher(solid_, parameters);
        if (!mesher.IsDone()) {
            result.status = PRO_TK_GENERAL_ERROR;
            return result;
        }

        SharedPoints shared;
        const double toUnit = 1.0 / millimetresPerUnit_;
        for (std::size_t f = 0; f < faces_.size(); ++f) {
            const TopoDS_Face& face = faces_[f];
            TopLoc_Location location;
            const Handle(Poly_Triangulation)& triangulation =
                BRep_Tool::Triangulation(face, location);
            if (triangulation.IsNull() || triangulation->NbTriangles() == 0) {
                continue;
            }
            const gp_Trsf transform = location.Transformation();
            std::vector<gp_Pnt> nodes(static_cast<std::size_t>(triangulation->NbNodes()));
            for (int i = 1; i <= triangulation->NbNodes(); ++i) {
                nodes[static_cast<std::size_t>(i - 1)] =
                    triangulation->Node(i).Transformed(transform);
            }
            // The nodes on the face's edges, seams once per side.
            for (TopExp_Explorer e(face, TopAbs_EDGE); e.More(); e.Next()) {
                // The polygon is found by the triangulation and the face's location.
                Handle(Poly_PolygonOnTriangulation) polygon = BRep_Tool::PolygonOnTriangulation(
                    TopoDS::Edge(e.Current()), triangulation, location);
                if (polygon.IsNull()) {
                    continue;
                }
                for (int k = 1; k <= polygon->NbNodes(); ++k) {
                    const int node = polygon->Node(k);
                    if (node >= 1 && node <= triangulation->NbNodes()) {
                        gp_Pnt& p = nodes[static_cast<std::size_t>(node - 1)];
                        p = shared.canonical(p);
                    }
                }
            }

            Tessellation t;
            t.vertices.reserve(nodes.size());
            for (const gp_Pnt& p : nodes) {
                t.vertices.push_back({p.X() * toUnit, p.Y() * toUnit, p.Z() * toUnit});
            }
            // The mesher winds along the surface's normal; the host's facets are clockwise seen
            // from outside, so a forward face swaps two corners and a reversed one keeps them.
            const bool reversed = face.Orientation() == TopAbs_REVERSED;
            t.facets.reserve(static_cast<std::size_t>(triangulation->NbTriangles()));
            for (int i = 1; i <= triangulation->NbTriangles(); ++i) {
                int n1 = 0, n2 = 0, n3 = 0;
                triangulation->Triangle(i).Get(n1, n2, n3);
                if (reversed) {
                    t.facets.push_back({n1 - 1, n2 - 1, n3 - 1});
                } else {
                    t.facets.push_back({n1 - 1, n3 - 1, n2 - 1});
                }
            }
            result.faces[f] = std::move(t);
        }
    } catch (const Standard_Failure&) {
        result = Result{};
        result.status = PRO_TK_GENERAL_ERROR;
    } catch (const std::exception&) {
        result = Result{};
        result.status = PRO_TK_GENERAL_ERROR;
    }
    return result;
}

} // namespace Hostsim
