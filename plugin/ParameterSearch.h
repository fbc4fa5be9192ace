// Reading the CTI and the attribute parameters of host items: the visit action handed to
// ProParameterVisit, the loop over the configured entries for parts, bodies and the top
// assembly node, and the CTI search of surfaces and facet sets along their feature chain.
#pragma once

#include "PartAttribute.h"
#include "ProToolkit.h"

#include <vector>

namespace Velmora {

// The entry index handed to visitParameter as its data: kCtiEntry (or no data at all) looks
// for OptionsPersistency::ctiParameter, an index i >= 0 for importAttributes[i].
inline constexpr int kCtiEntry = -1;

// Action of ProParameterVisit. A parameter whose name equals the wanted one exactly (code unit
// by code unit) is read: the first integer CTI, clamped to -1 (below 0) or 1000 (above), goes
// to ExtractionContext::foundCti while that is -1; the first attribute text (double "%f",
// integer in decimal, string as given) goes to foundValue while that is empty. 0 continues the
// visit; a failed value read ends it with its status.
[[nodiscard]] ProErrors visitParameter(ProParameter* parameter, ProErrors status, ProAppData data);

// Which entries reach an item: parts and bodies get the CTI entry and every attribute entry of
// type 0 or 2; the top assembly node every attribute entry of type 1 or 2.
enum class ParameterScope { PartOrBody, AssemblyNode };

// Visits the item's parameters once per entry, in the order of the options. For PartOrBody,
// *cti receives the CTI found (-1 when none). A non-empty value appends (entry name, value) to
// attributes. A visit status other than 0 and PRO_TK_E_NOT_FOUND ends the loop and is returned.
[[nodiscard]] ProErrors
readParameterEntries(ProModelitem& item, ParameterScope scope, int* cti,
                     std::vector<KorvaneGeometry::PartAttribute>& attributes);

// The CTI of a surface's geometry item (ownFirst: its own parameters first) or of a facet set
// (not ownFirst): the first non-negative integer CTI among the item's own parameters, its
// feature's, its feature's direct parents' from the last to the first; else the current body's
// CTI. A feature, parent list or parent that the host does not find is not searched. On 0 the
// result is in cti; on any other status cti is left alone.
[[nodiscard]] ProErrors lookupGeometryCti(ProGeomitem& item, bool ownFirst, int& cti);

} // namespace Velmora
