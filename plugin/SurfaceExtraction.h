// The visitors that read one body's surfaces and its part's facet sets while the part
// extraction visits the body: each surface is tessellated into the context's triangle collector
// and described by one Surface record of the current body; each facet set adds one record of
// kind 6 and its facets as triangles.
#pragma once

#include "ProToolkit.h"
#include "Surface.h"

namespace Velmora {

// Action of ProSolidBodySurfaceVisit. A surface the host cannot tessellate (-1, -68, a null
// array, a facet that refers outside the vertex array) or for which it does not find a piece of
// its own data (PRO_TK_E_NOT_FOUND from any of its calls) is left out, record and triangles, and
// sets ExtractionContext::tessellationFailed; 0 then. Any other failure ends the visit.
[[nodiscard]] ProErrors visitBodySurface(ProSurface surface, ProErrors status, ProAppData data);

// CTI, colour, kind and analytic data of one surface, lengths in the part's unit as the host
// gives them (the caller converts them). TARVELO_NO_GEOMITEM without a geometry item,
// TARVELO_SURFACE_NOT_USABLE for data without orientation or of type -3, else the host status.
[[nodiscard]] ProErrors fillSurfaceRecord(const ProMdl* model, const ProSurface* surface,
                                          KorvaneGeometry::Surface& record);

// Action and filter of ProSolidFacetsetVisit; every facet set is visited. A set without facets
// keeps its record; one for which the host does not find a piece of its data is left out as a
// surface is.
[[nodiscard]] ProErrors visitFacetSet(ProFacetset* set, ProErrors status, ProAppData data);
[[nodiscard]] ProErrors acceptFacetSet(ProFacetset* set, ProAppData data);

// What the facets of one set need and tell: the index of the set's record, and whether a facet
// ended the visit because the host did not find its data.
struct FacetSetReading {
    int index;
    bool facetNotFound = false;
};

// Action and filter of ProFacetsetFacetVisit; data is the set's FacetSetReading.
[[nodiscard]] ProErrors visitFacet(ProFacet* facet, ProErrors status, ProAppData data);
[[nodiscard]] ProErrors acceptFacet(ProFacet* facet, ProAppData data);

} // namespace Velmora
