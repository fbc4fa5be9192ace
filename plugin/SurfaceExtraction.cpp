#include "SurfaceExtraction.h"

#include "ExtractionContext.h"
#include "HostAllocations.h"
#include "HostCallback.h"
#include "HostStatus.h"
#include "ParameterSearch.h"
#include "ProFunctions.h"

#include <cstddef>
#include <vector>

namespace Velmora {

namespace {

constexpr ProSurfaceTessellationProjection kNoUvProjection = 4;

bool isOtherAnalyticType(int type) {
    switch (type) {
    case 39:
    case 40:
    case 41:
    case 42:
    case 43:
    case 44:
    case 45:
    case 46:
    case 48:
    case 50:
        return true;
    default:
        return false;
    }
}

std::array<double, 3> toArray(const double (&v)[3]) {
    return {v[0], v[1], v[2]};
}

KorvaneGeometry::Point3 toPoint(const double (&v)[3]) {
    return {v[0], v[1], v[2]};
}

// Every facet must name three vertices of the array; a tessellation that does not is as
// unusable as an incomplete one and is never read.
bool facetsWithinVertices(const ProTriangle* facets, int facetCount, int vertexCount) {
    for (int k = 0; k < facetCount; ++k) {
        for (int corner = 0; corner < 3; ++corner) {
            const int v = facets[k][corner];
            if (v < 0 || v >= vertexCount) {
                return false;
            }
        }
    }
    return true;
}

ProErrors surfaceLeftOut(ExtractionContext& context) {
    context.tessellationFailed = true;
    return PRO_TK_NO_ERROR;
}

// The part extraction sets all of these for one body's visits.
bool readingBody(const ExtractionContext& context) {
    return context.currentBody != nullptr && context.collector != nullptr &&
           context.partModel != nullptr && context.partUnit != nullptr;
}

// How far the current body's records and triangles reached before one surface or facet set.
struct BodyMark {
    std::size_t surfaces;
    std::size_t points;
    std::size_t triangles;
};

BodyMark markOf(const ExtractionContext& context) {
    return {context.currentBody->surfaces.size(), context.collector->points.size(),
            context.collector->triangles.size()};
}

// Takes back the record and the triangles added since the mark: the next record takes the left
// out one's index, so every triangle kept still names its own record.
ProErrors leaveOut(ExtractionContext& context, const BodyMark& mark) {
    auto cut = [](auto& list, std::size_t size) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(size), list.end());
    };
    cut(context.currentBody->surfaces, mark.surfaces);
    cut(context.collector->points, mark.points);
    cut(context.collector->triangles, mark.triangles);
    return surfaceLeftOut(context);
}

// The host's "not found" for one surface's or facet set's own data leaves that item out; handed
// back to the host it would end the visit as if the body had nothing more, and the part
// extraction would take the body as complete.
ProErrors leftOutWhenNotFound(ExtractionContext& context, const BodyMark& mark, ProErrors status) {
    return status == PRO_TK_E_NOT_FOUND ? leaveOut(context, mark) : status;
}

ProErrors tessellateSurface(ExtractionContext& context, ProSurface surface) {
    // The chord height is the top model's length; the part's own unit plays no part here.
    const double chordHeight = context.options->chordHeight / context.rootUnit.factor();
    const double angleControl = context.options->angleControl;

    TessellationInputOwner input;
    if (ProErrors status = ProSurfacetessellationinputAlloc(input.out());
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = ProSurfacetessellationinputChordheightSet(input.get(), chordHeight);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = ProSurfacetessellationinputAnglecontrolSet(input.get(), angleControl);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    ignoreStatus(ProSurfacetessellationinputStepsizeSet(input.get(), 0.0),
                 "it only asks for the host's default step size");
    if (ProErrors status =
            ProSurfacetessellationinputUvprojectionSet(input.get(), kNoUvProjection, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }

    TessellationOwner tessellation;
    if (ProErrors status = ProSurfaceTessellationGet(surface, input.get(), tessellation.out());
        status != PRO_TK_NO_ERROR) {
        // A surface the host cannot tessellate is left out; the body goes on.
        const bool untessellated =
            status == PRO_TK_GENERAL_ERROR || status == PRO_TK_INCOMPLETE_TESS;
        return untessellated ? surfaceLeftOut(context) : status;
    }
    HostArray<Pro3dPnt> vertices;
    if (ProErrors status = ProTessellationVerticesGet(tessellation.get(), vertices.out());
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    HostArray<ProTriangle> facets;
    if (ProErrors status = ProTessellationFacetsGet(tessellation.get(), facets.out());
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (!vertices || !facets) {
        return surfaceLeftOut(context);
    }
    int vertexCount = 0;
    if (ProErrors status = ProArraySizeGet(vertices.get(), &vertexCount);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    int facetCount = 0;
    if (ProErrors status = ProArraySizeGet(facets.get(), &facetCount); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (!facetsWithinVertices(facets.get(), facetCount, vertexCount)) {
        return surfaceLeftOut(context);
    }

    std::vector<KorvaneGeometry::Surface>& surfaces = context.currentBody->surfaces;
    const int index = static_cast<int>(surfaces.size());
    surfaces.emplace_back();
    surfaces.back().index = index;
    if (ProErrors status = fillSurfaceRecord(context.partModel, &surface, surfaces.back());
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    KorvaneGeometry::Surface& record = surfaces.back();
    const LengthUnit& unit = *context.partUnit;
    for (double& c : record.origin) {
        c = unit.toMillimetres(c);
    }
    record.radius = unit.toMillimetres(record.radius);
    record.radius2 = unit.toMillimetres(record.radius2);

    // The host winds its facets the other way round: (f0, f2, f1).
    const Pro3dPnt* points = vertices.get();
    for (int k = 0; k < facetCount; ++k) {
        const ProTriangle& f = facets.get()[k];
        context.collector->addTriangle(toPoint(points[f[0]]), toPoint(points[f[2]]),
                                       toPoint(points[f[1]]), index);
    }

    // Every release is made; the first that fails is the result.
    const ProErrors tessellationStatus = tessellation.release();
    const ProErrors inputStatus = input.release();
    const ProErrors verticesStatus = vertices.release();
    const ProErrors facetsStatus = facets.release();
    for (ProErrors status : {tessellationStatus, inputStatus, verticesStatus, facetsStatus}) {
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return PRO_TK_NO_ERROR;
}

// The colour of the surface's own appearance; a surface without one has no colour.
ProErrors surfaceColour(ProGeomitem& item, KorvaneGeometry::Colour& colour) {
    ProSurfaceAppearanceProps appearance{};
    if (ProErrors status = ProSurfaceSideAppearancepropsGet(&item, 0, &appearance);
        status != PRO_TK_NO_ERROR) {
        if (status == PRO_TK_NOT_EXIST) {
            colour = KorvaneGeometry::kNoColour;
            return PRO_TK_NO_ERROR;
        }
        return status;
    }
    colour = {appearance.color_rgb[0], appearance.color_rgb[1], appearance.color_rgb[2]};
    return PRO_TK_NO_ERROR;
}

void fillFromType(KorvaneGeometry::Surface& record, int type, const ProSurfacedata& data) {
    const ProSurfaceshapedata& shape = data.srf_shape;
    switch (type) {
    case PRO_SRF_PLANE:
        record.kind = KorvaneGeometry::SurfaceKindPlane;
        record.origin = toArray(shape.origin);
        record.axis = toArray(shape.e3);
        if (data.orient == PRO_SURF_ORIENT_IN) {
            for (double& c : record.axis) {
                c = -c;
            }
        }
        break;
    case PRO_SRF_CYL:
        record.kind = KorvaneGeometry::SurfaceKindCylinder;
        record.origin = toArray(shape.origin);
        record.axis = toArray(shape.e3);
        record.radius = shape.values[0];
        record.orientationPositive = data.orient == PRO_SURF_ORIENT_OUT;
        break;
    case PRO_SRF_CONE:
        record.kind = KorvaneGeometry::SurfaceKindCone;
        record.origin = toArray(shape.origin);
        record.axis = toArray(shape.e3);
        record.radius = shape.values[0];
        break;
    case PRO_SRF_TORUS:
        record.kind = KorvaneGeometry::SurfaceKindTorus;
        record.origin = toArray(shape.origin);
        record.axis = toArray(shape.e3);
        record.radius = shape.values[0];
        record.radius2 = shape.values[1];
        break;
    default:
        record.kind = isOtherAnalyticType(type) ? KorvaneGeometry::SurfaceKindOther
                                                : KorvaneGeometry::SurfaceKindNone;
        break;
    }
}

ProErrors readFacet(ExtractionContext& context, ProFacet* facet, const FacetSetReading& reading) {
    if (context.collector == nullptr) {
        return PRO_TK_BAD_CONTEXT;
    }
    FacetVerticesOwner vertices;
    if (ProErrors status = ProFacetVerticesGet(facet, vertices.out()); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (!vertices) {
        return PRO_TK_GENERAL_ERROR;
    }
    Pro3dPnt points[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (ProErrors status = ProFacetvertexPointGet(vertices.get()[i], points[i]);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    context.collector->addTriangle(toPoint(points[0]), toPoint(points[1]), toPoint(points[2]),
                                   reading.index);
    return vertices.release();
}

// One facet set: a record of kind 6 at the end of the current body's list, and its facets as
// triangles of that record.
ProErrors readFacetSet(ExtractionContext& context, ProFacetset* set) {
    std::vector<KorvaneGeometry::Surface>& surfaces = context.currentBody->surfaces;
    const int index = static_cast<int>(surfaces.size());
    surfaces.emplace_back();
    KorvaneGeometry::Surface& record = surfaces.back();
    record.index = index;
    record.kind = KorvaneGeometry::SurfaceKindOther;
    record.orientationPositive = true;
    record.colour = KorvaneGeometry::kNoColour;
    // The facet set's own parameters are not searched.
    if (ProErrors status = lookupGeometryCti(*set, false, record.cti); status != PRO_TK_NO_ERROR) {
        return status;
    }
    FacetSetReading reading{index};
    const ProErrors status = ProFacetsetFacetVisit(set, visitFacet, acceptFacet, &reading);
    // No facets: the record stays, like a surface's.
    return status == PRO_TK_E_NOT_FOUND && !reading.facetNotFound ? PRO_TK_NO_ERROR : status;
}

} // namespace

ProErrors fillSurfaceRecord(const ProMdl* model, const ProSurface* surface,
                            KorvaneGeometry::Surface& record) {
    ProGeomitem item{};
    if (ProSurfaceToGeomitem(*model, *surface, &item) != PRO_TK_NO_ERROR) {
        return TARVELO_NO_GEOMITEM;
    }
    if (ProErrors status = lookupGeometryCti(item, true, record.cti); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = surfaceColour(item, record.colour); status != PRO_TK_NO_ERROR) {
        return status;
    }
    ProSrftype type = 0;
    if (ProErrors status = ProSurfaceTypeGet(*surface, &type); status != PRO_TK_NO_ERROR) {
        return status;
    }
    SurfaceDataOwner data;
    if (ProErrors status = ProSurfaceDataGet(*surface, data.out()); status != PRO_TK_NO_ERROR) {
        return status;
    }
    // Data without surface data carry no orientation either.
    const ProSurfacedata* surfaceData = data ? data.get()->p_surface_data : nullptr;
    if (surfaceData == nullptr || surfaceData->orient == PRO_SURF_ORIENT_NONE) {
        return TARVELO_SURFACE_NOT_USABLE;
    }
    record.kind = KorvaneGeometry::SurfaceKindNone;
    record.origin = {0.0, 0.0, 0.0};
    record.axis = {0.0, 0.0, 0.0};
    record.radius = 0.0;
    record.radius2 = 0.0;
    record.orientationPositive = true;
    if (type == PRO_SRF_NONE) {
        return TARVELO_SURFACE_NOT_USABLE;
    }
    fillFromType(record, type, *surfaceData);
    return data.release();
}

ProErrors visitBodySurface(ProSurface surface, ProErrors /*status*/, ProAppData /*data*/) {
    return guardHostCallback(
        [&]() -> ProErrors {
            ExtractionContext* context = g_extractionContext.get();
            if (context == nullptr || !readingBody(*context)) {
                return PRO_TK_BAD_CONTEXT;
            }
            const BodyMark mark = markOf(*context);
            return leftOutWhenNotFound(*context, mark, tessellateSurface(*context, surface));
        },
        PRO_TK_GENERAL_ERROR);
}

ProErrors visitFacetSet(ProFacetset* set, ProErrors /*status*/, ProAppData /*data*/) {
    return guardHostCallback(
        [&]() -> ProErrors {
            ExtractionContext* context = g_extractionContext.get();
            if (context == nullptr || !readingBody(*context) || set == nullptr) {
                return PRO_TK_BAD_CONTEXT;
            }
            const BodyMark mark = markOf(*context);
            return leftOutWhenNotFound(*context, mark, readFacetSet(*context, set));
        },
        PRO_TK_GENERAL_ERROR);
}

ProErrors acceptFacetSet(ProFacetset* /*set*/, ProAppData /*data*/) {
    return PRO_TK_NO_ERROR;
}

ProErrors visitFacet(ProFacet* facet, ProErrors /*status*/, ProAppData data) {
    return guardHostCallback(
        [&]() -> ProErrors {
            ExtractionContext* context = g_extractionContext.get();
            if (context == nullptr || data == nullptr) {
                return PRO_TK_BAD_CONTEXT;
            }
            auto& reading = *static_cast<FacetSetReading*>(data);
            const ProErrors status = readFacet(*context, facet, reading);
            reading.facetNotFound = status == PRO_TK_E_NOT_FOUND;
            return status;
        },
        PRO_TK_GENERAL_ERROR);
}

ProErrors acceptFacet(ProFacet* /*facet*/, ProAppData /*data*/) {
    return PRO_TK_NO_ERROR;
}

} // namespace Velmora
