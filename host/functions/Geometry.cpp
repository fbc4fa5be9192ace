// Bodies, surfaces, surface data, tessellation and facet sets.
#include "HostFunctions.h"

#include <cmath>
#include <memory>
#include <sstream>

namespace Hostsim {

namespace {

Body* bodyOf(Session& s, const ProSolidBody* item) {
    if (item == nullptr || item->type != PRO_BODY) {
        return nullptr;
    }
    Model* m = s.model(item->owner);
    return m == nullptr ? nullptr : m->body(item->id);
}

FacetSet* facetSetOf(Session& s, const ProFacetset* item) {
    if (item == nullptr || item->type != PRO_FACET_SET) {
        return nullptr;
    }
    Model* m = s.model(item->owner);
    return m == nullptr ? nullptr : m->facetSet(item->id);
}

struct TessellationInput {
    std::optional<double> chordHeight;
    std::optional<double> angleControl;
    double stepSize = 0.0;
    int projection = 0;
};

struct SurfaceDataBlock {
    ProGeomitemdata item{};
    ProSurfacedata surface{};
};

template <class T> void destroyObject(void* p) {
    delete static_cast<T*>(p);
}

TessellationInput* inputOf(Session& s, ProSurfaceTessellationInput input) {
    return s.ledger().find(input, AllocationKind::TessellationInput) != nullptr
               ? reinterpret_cast<TessellationInput*>(input)
               : nullptr;
}

Tessellation* tessellationOf(Session& s, ProTessellation t) {
    return s.ledger().find(t, AllocationKind::Tessellation) != nullptr
               ? reinterpret_cast<Tessellation*>(t)
               : nullptr;
}

std::string facetKey(Session& s, const ProFacet* f) {
    if (f == nullptr) {
        return "?";
    }
    return s.key(f->owner) + "#" + std::to_string(f->set_id) + "." + std::to_string(f->index);
}

void copyPoint(const Point& from, double* to) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

} // namespace

ProErrors HostFunctions::ProSolidBodiesCollect(ProSolid solid, ProSolidBody** bodies) {
    HOST_ENTER(session->key(solid));
    Model* m = session->model(solid);
    if (m == nullptr || bodies == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    auto* array = static_cast<ProSolidBody*>(session->ledger().allocate(
        AllocationKind::Array, __func__, sizeof(ProSolidBody), m->bodies.size()));
    std::size_t i = 0;
    for (const Body& b : m->bodies) {
        array[i++] = ProSolidBody{PRO_BODY, b.id, solid};
    }
    *bodies = array;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSolidBodyIsConstruction(ProSolidBody* body, ProBoolean* construction) {
    HOST_ENTER(session->key(body));
    Body* b = bodyOf(*session, body);
    if (b == nullptr || construction == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *construction = b->construction ? PRO_B_TRUE : PRO_B_FALSE;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSolidBodyStateGet(ProSolidBody* body, ProBodyState* state) {
    HOST_ENTER(session->key(body));
    Body* b = bodyOf(*session, body);
    if (b == nullptr || state == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *state = b->state;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSolidBodySurfaceVisit(ProSolidBody* body, ProSurfaceVisitAction action,
                                                  ProAppData data) {
    HOST_ENTER(session->key(body));
    Body* b = bodyOf(*session, body);
    if (b == nullptr || action == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<ProSurface> handles;
    for (const Surface& s : b->surfaces) {
        handles.push_back(session->handle(s));
    }
    for (ProSurface surface : handles) {
        ProErrors status = action(surface, PRO_TK_NO_ERROR, data);
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return handles.empty() ? PRO_TK_E_NOT_FOUND : PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSurfaceToGeomitem(ProSolid solid, ProSurface surface,
                                              ProGeomitem* item) {
    HOST_ENTER(session->key(surface));
    Surface* s = session->surface(surface);
    Model* m = session->model(solid);
    if (s == nullptr || m == nullptr || item == nullptr || s->body->model != m) {
        return PRO_TK_BAD_INPUTS;
    }
    *item = ProGeomitem{PRO_SURFACE, s->id, solid};
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProGeomitemFeatureGet(ProGeomitem* item, ProFeature* feature) {
    HOST_ENTER(session->key(item));
    Model* m = item != nullptr ? session->model(item->owner) : nullptr;
    if (m == nullptr || feature == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    int featureId = 0;
    if (item->type == PRO_SURFACE && m->surface(item->id) != nullptr) {
        featureId = m->surface(item->id)->featureId;
    } else if (item->type == PRO_FACET_SET && m->facetSet(item->id) != nullptr) {
        featureId = m->facetSet(item->id)->featureId;
    } else {
        return PRO_TK_BAD_INPUTS;
    }
    if (featureId == 0 || m->feature(featureId) == nullptr) {
        return PRO_TK_E_NOT_FOUND;
    }
    *feature = ProFeature{PRO_FEATURE, featureId, item->owner};
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSurfaceSideAppearancepropsGet(ProGeomitem* item, int side,
                                                          ProSurfaceAppearanceProps* props) {
    HOST_ENTER_DETAIL(session->key(item), "side=" + std::to_string(side));
    Model* m = item != nullptr ? session->model(item->owner) : nullptr;
    Surface* s = m != nullptr && item->type == PRO_SURFACE ? m->surface(item->id) : nullptr;
    if (s == nullptr || props == nullptr || (side != 0 && side != 1)) {
        return PRO_TK_BAD_INPUTS;
    }
    const std::optional<Colour>& colour = s->appearance[static_cast<std::size_t>(side)];
    if (!colour) {
        return PRO_TK_NOT_EXIST;
    }
    *props = ProSurfaceAppearanceProps{};
    props->ambient = 0.7;
    props->diffuse = 0.8;
    props->highlite = 0.5;
    props->shininess = 0.3;
    for (int k = 0; k < 3; ++k) {
        props->color_rgb[k] = (*colour)[static_cast<std::size_t>(k)];
    }
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSurfaceTypeGet(ProSurface surface, ProSrftype* type) {
    HOST_ENTER(session->key(surface));
    Surface* s = session->surface(surface);
    if (s == nullptr || type == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *type = s->type;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSurfaceDataGet(ProSurface surface, ProGeomitemdata** data) {
    HOST_ENTER(session->key(surface));
    Surface* s = session->surface(surface);
    if (s == nullptr || data == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    auto* block = new SurfaceDataBlock{};
    block->item.obj_type = PRO_SURFACE;
    block->item.p_surface_data = &block->surface;
    ProSurfacedata& d = block->surface;
    d.type = s->type;
    d.orient = s->orientation;
    d.id = s->id;
    copyPoint(s->shape.e1, d.srf_shape.e1);
    copyPoint(s->shape.e2, d.srf_shape.e2);
    copyPoint(s->shape.e3, d.srf_shape.e3);
    copyPoint(s->shape.origin, d.srf_shape.origin);
    d.srf_shape.values[0] = s->shape.values[0];
    d.srf_shape.values[1] = s->shape.values[1];
    session->ledger().adopt(AllocationKind::GeomitemData, __func__, block,
                            &destroyObject<SurfaceDataBlock>);
    // The block's first member is the ProGeomitemdata, so both share the address.
    *data = &block->item;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProGeomitemdataFree(ProGeomitemdata** data) {
    HOST_ENTER("");
    if (data == nullptr) {
        session->ledger().recordViolation("ProGeomitemdataFree: null address");
        return PRO_TK_BAD_INPUTS;
    }
    ProErrors status = session->ledger().release(AllocationKind::GeomitemData, *data, __func__);
    if (status == PRO_TK_NO_ERROR) {
        *data = nullptr;
    }
    return status;
}

ProErrors HostFunctions::ProSurfacetessellationinputAlloc(ProSurfaceTessellationInput* input) {
    HOST_ENTER("");
    if (input == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    auto* object = new TessellationInput{};
    session->ledger().adopt(AllocationKind::TessellationInput, __func__, object,
                            &destroyObject<TessellationInput>);
    *input = reinterpret_cast<ProSurfaceTessellationInput>(object);
    return PRO_TK_NO_ERROR;
}

ProErrors
HostFunctions::ProSurfacetessellationinputChordheightSet(ProSurfaceTessellationInput input,
                                                         double chordHeight) {
    std::ostringstream detail;
    detail << "chordHeight=" << chordHeight;
    HOST_ENTER_DETAIL("", detail.str());
    TessellationInput* in = inputOf(*session, input);
    if (in == nullptr || !std::isfinite(chordHeight) || chordHeight <= 0.0) {
        return PRO_TK_BAD_INPUTS;
    }
    in->chordHeight = chordHeight;
    return PRO_TK_NO_ERROR;
}

ProErrors
HostFunctions::ProSurfacetessellationinputAnglecontrolSet(ProSurfaceTessellationInput input,
                                                          double angleControl) {
    std::ostringstream detail;
    detail << "angleControl=" << angleControl;
    HOST_ENTER_DETAIL("", detail.str());
    TessellationInput* in = inputOf(*session, input);
    if (in == nullptr || !(angleControl >= 0.0 && angleControl <= 1.0)) {
        return PRO_TK_BAD_INPUTS;
    }
    in->angleControl = angleControl;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSurfacetessellationinputStepsizeSet(ProSurfaceTessellationInput input,
                                                                double stepSize) {
    std::ostringstream detail;
    detail << "stepSize=" << stepSize;
    HOST_ENTER_DETAIL("", detail.str());
    TessellationInput* in = inputOf(*session, input);
    if (in == nullptr || !std::isfinite(stepSize) || stepSize < 0.0) {
        return PRO_TK_BAD_INPUTS;
    }
    in->stepSize = stepSize;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSurfacetessellationinputUvprojectionSet(
    ProSurfaceTessellationInput input, ProSurfaceTessellationProjection projection,
    ProUvProjectionData projectionData) {
    HOST_ENTER_DETAIL("", "projection=" + std::to_string(projection) +
                              (projectionData != nullptr ? " data" : " no-data"));
    TessellationInput* in = inputOf(*session, input);
    if (in == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    in->projection = projection;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProSurfacetessellationinputFree(ProSurfaceTessellationInput input) {
    HOST_ENTER("");
    return session->ledger().release(AllocationKind::TessellationInput, input, __func__);
}

ProErrors HostFunctions::ProSurfaceTessellationGet(ProSurface surface,
                                                   ProSurfaceTessellationInput input,
                                                   ProTessellation* tessellation) {
    HOST_ENTER(session->key(surface));
    Surface* s = session->surface(surface);
    TessellationInput* in = inputOf(*session, input);
    // The host needs both controls to tessellate.
    if (s == nullptr || in == nullptr || tessellation == nullptr || !in->chordHeight ||
        !in->angleControl) {
        return PRO_TK_BAD_INPUTS;
    }
    if (s->tessellationStatus != PRO_TK_NO_ERROR) {
        return s->tessellationStatus;
    }
    auto result = std::make_unique<Tessellation>();
    if (s->tessellation) {
        *result = *s->tessellation;
    } else if (s->primitive) {
        *result = tessellatePrimitive(*s->primitive, *in->chordHeight, *in->angleControl);
    } else if (s->tessellator) {
        // Nothing may throw into the plug-in: a tessellator that throws fails the request.
        ProErrors status = PRO_TK_GENERAL_ERROR;
        try {
            status = s->tessellator->tessellate(*in->chordHeight, *in->angleControl, *result);
        } catch (...) {
            status = PRO_TK_GENERAL_ERROR;
        }
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    Tessellation* handed = result.release();
    session->ledger().adopt(AllocationKind::Tessellation, __func__, handed,
                            &destroyObject<Tessellation>);
    *tessellation = reinterpret_cast<ProTessellation>(handed);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProTessellationVerticesGet(ProTessellation tessellation,
                                                    Pro3dPnt** vertices) {
    HOST_ENTER("");
    Tessellation* t = tessellationOf(*session, tessellation);
    if (t == nullptr || vertices == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (t->nullVertices) {
        *vertices = nullptr;
        return PRO_TK_NO_ERROR;
    }
    auto* array = static_cast<Pro3dPnt*>(session->ledger().allocate(
        AllocationKind::Array, __func__, sizeof(Pro3dPnt), t->vertices.size()));
    for (std::size_t i = 0; i < t->vertices.size(); ++i) {
        copyPoint(t->vertices[i], array[i]);
    }
    *vertices = array;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProTessellationFacetsGet(ProTessellation tessellation,
                                                  ProTriangle** facets) {
    HOST_ENTER("");
    Tessellation* t = tessellationOf(*session, tessellation);
    if (t == nullptr || facets == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (t->nullFacets) {
        *facets = nullptr;
        return PRO_TK_NO_ERROR;
    }
    auto* array = static_cast<ProTriangle*>(session->ledger().allocate(
        AllocationKind::Array, __func__, sizeof(ProTriangle), t->facets.size()));
    for (std::size_t i = 0; i < t->facets.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            array[i][k] = t->facets[i][static_cast<std::size_t>(k)];
        }
    }
    *facets = array;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProTessellationFree(ProTessellation tessellation) {
    HOST_ENTER("");
    return session->ledger().release(AllocationKind::Tessellation, tessellation, __func__);
}

ProErrors HostFunctions::ProSolidFacetsetVisit(ProSolid solid, ProFacetsetVisitAction action,
                                               ProFacetsetFilterAction filter, ProAppData data) {
    HOST_ENTER(session->key(solid));
    Model* m = session->model(solid);
    if (m == nullptr || action == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<int> ids;
    for (const FacetSet& s : m->facetSets) {
        ids.push_back(s.id);
    }
    int visited = 0;
    for (int id : ids) {
        ProFacetset set{PRO_FACET_SET, id, solid};
        if (filter != nullptr && filter(&set, data) != PRO_TK_NO_ERROR) {
            continue;
        }
        ++visited;
        ProErrors status = action(&set, PRO_TK_NO_ERROR, data);
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return visited > 0 ? PRO_TK_NO_ERROR : PRO_TK_E_NOT_FOUND;
}

ProErrors HostFunctions::ProFacetsetFacetVisit(ProFacetset* set, ProFacetVisitAction action,
                                               ProFacetFilterAction filter, ProAppData data) {
    HOST_ENTER(session->key(set));
    FacetSet* s = facetSetOf(*session, set);
    if (s == nullptr || action == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    const std::size_t count = s->facets.size();
    int visited = 0;
    for (std::size_t i = 0; i < count; ++i) {
        ProFacet facet{set->owner, set->id, static_cast<int>(i)};
        if (filter != nullptr && filter(&facet, data) != PRO_TK_NO_ERROR) {
            continue;
        }
        ++visited;
        ProErrors status = action(&facet, PRO_TK_NO_ERROR, data);
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return visited > 0 ? PRO_TK_NO_ERROR : PRO_TK_E_NOT_FOUND;
}

ProErrors HostFunctions::ProFacetVerticesGet(ProFacet* facet, ProFacetvertex** vertices) {
    HOST_ENTER(facetKey(*session, facet));
    Model* m = facet != nullptr ? session->model(facet->owner) : nullptr;
    FacetSet* s = m != nullptr ? m->facetSet(facet->set_id) : nullptr;
    if (s == nullptr || vertices == nullptr || facet->index < 0 ||
        static_cast<std::size_t>(facet->index) >= s->facets.size()) {
        return PRO_TK_BAD_INPUTS;
    }
    auto* array = static_cast<ProFacetvertex*>(session->ledger().allocate(
        AllocationKind::FacetVertices, __func__, sizeof(ProFacetvertex), 3));
    for (int k = 0; k < 3; ++k) {
        array[k] = ProFacetvertex{facet->owner, facet->set_id, facet->index, k};
    }
    *vertices = array;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProFacetvertexPointGet(ProFacetvertex vertex, Pro3dPnt point) {
    HOST_ENTER(session->key(vertex.owner) + "#" + std::to_string(vertex.set_id) + "." +
               std::to_string(vertex.facet));
    Model* m = session->model(vertex.owner);
    FacetSet* s = m != nullptr ? m->facetSet(vertex.set_id) : nullptr;
    if (s == nullptr || point == nullptr || vertex.facet < 0 ||
        static_cast<std::size_t>(vertex.facet) >= s->facets.size() || vertex.corner < 0 ||
        vertex.corner > 2) {
        return PRO_TK_BAD_INPUTS;
    }
    copyPoint(
        s->facets[static_cast<std::size_t>(vertex.facet)][static_cast<std::size_t>(vertex.corner)],
        point);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProFacetverticesFree(ProFacetvertex* vertices) {
    HOST_ENTER("");
    return session->ledger().release(AllocationKind::FacetVertices, vertices, __func__);
}

} // namespace Hostsim
