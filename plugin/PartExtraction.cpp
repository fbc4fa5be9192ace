#include "PartExtraction.h"

#include "ExtractionContext.h"
#include "HostAllocations.h"
#include "HostStatus.h"
#include "LengthUnit.h"
#include "Matrix.h"
#include "Messages.h"
#include "NarrowText.h"
#include "ParameterSearch.h"
#include "ProFunctions.h"
#include "ScopeGuard.h"
#include "SurfaceExtraction.h"

#include <cwchar>
#include <map>
#include <string>
#include <utility>

namespace Velmora {

namespace {

constexpr ProFeatStatus kSuppressedFeature = 5;
constexpr ProBodyState kActiveBody = 4;

// Shows the key for the name unless this kind of warning was shown for it already.
ProErrors warnOnce(std::set<std::string>& warned, const char* key, const std::string& name) {
    if (!warned.insert(name).second) {
        return PRO_TK_NO_ERROR;
    }
    return showMessage(key, {name.c_str()});
}

// The item's visible appearance colour; an item without an appearance keeps the colour given.
ProErrors visibleSideColour(ProAsmitem& item, KorvaneGeometry::Colour& colour) {
    ProSurfaceAppearanceProps appearance{};
    if (ProErrors status = ProMdlVisibleSideAppearancepropsGet(&item, 0, &appearance);
        status != PRO_TK_NO_ERROR) {
        return status == PRO_TK_NOT_EXIST ? PRO_TK_NO_ERROR : status;
    }
    colour = {appearance.color_rgb[0], appearance.color_rgb[1], appearance.color_rgb[2]};
    return PRO_TK_NO_ERROR;
}

// What one occurrence needs beyond the context while its part is read.
struct Occurrence {
    Occurrence(ProMdl* model, ProFeature* feature) : model(model), feature(feature) {}

    ProMdl* model;
    ProFeature* feature;
    ProMdlName wideName{};
    std::string plainName;
    LengthUnit unit{"mm"};
};

// Reads one body's surfaces and the part's facet sets into the body and the collector.
ProErrors collectTriangles(ExtractionContext& context, Occurrence& occurrence, ProSolidBody& handle,
                           KorvaneGeometry::SolidBody& body,
                           KorvaneGeometry::TriangleCollector& collector) {
    context.partModel = occurrence.model;
    context.partUnit = &occurrence.unit;
    context.currentBody = &body;
    context.currentBodyCti = body.cti;
    context.collector = &collector;
    context.tessellationFailed = false;
    // The current-part members point into this call's locals: clear them on every way out.
    ScopeGuard reset([&context] {
        context.partModel = nullptr;
        context.partUnit = nullptr;
        context.currentBody = nullptr;
        context.currentBodyCti = -1;
        context.collector = nullptr;
        context.tessellationFailed = false;
    });

    // A surface or facet set left out is warned about after the visit that left it out. The
    // warning's failure counts; a shown warning does not hide the visit's own status.
    auto visited = [&context, &occurrence](ProErrors status) -> ProErrors {
        if (context.tessellationFailed) {
            if (ProErrors shown =
                    warnOnce(context.warnedTessellationFailed,
                             "WarningSurfaceTessellationFailed %0s", occurrence.plainName);
                shown != PRO_TK_NO_ERROR) {
                return shown;
            }
        }
        return status == PRO_TK_E_NOT_FOUND ? PRO_TK_NO_ERROR : status;
    };
    if (ProErrors status = visited(ProSolidBodySurfaceVisit(&handle, visitBodySurface, nullptr));
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    return visited(
        ProSolidFacetsetVisit(*occurrence.model, visitFacetSet, acceptFacetSet, nullptr));
}

// The part record with its CTI, attributes and kept bodies, their meshes in millimetres, and
// the warnings about bodies that failed. The caller names it and stores it when it keeps a body.
ProErrors readPart(ExtractionContext& context, Occurrence& occurrence, ProModelitem& partItem,
                   KorvaneGeometry::SinglePart& part) {
    part.cti = -1;
    if (ProErrors status =
            readParameterEntries(partItem, ParameterScope::PartOrBody, &part.cti, part.attributes);
        status != PRO_TK_NO_ERROR) {
        return status;
    }

    HostArray<ProSolidBody> handles;
    if (ProErrors status = ProSolidBodiesCollect(*occurrence.model, handles.out());
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    int count = 0;
    if (ProErrors status = ProArraySizeGet(handles.get(), &count); status != PRO_TK_NO_ERROR) {
        return status;
    }
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        ProSolidBody handle = handles.get()[i];
        // The presets decide for a body whose flag or state the host cannot tell.
        ProBoolean construction = PRO_B_TRUE;
        ignoreStatus(ProSolidBodyIsConstruction(&handle, &construction),
                     "preset: a body the host cannot tell about counts as construction");
        if (construction != PRO_B_FALSE) {
            continue;
        }
        ProBodyState state = -1;
        ignoreStatus(ProSolidBodyStateGet(&handle, &state),
                     "preset: a body whose state the host cannot tell is not active");
        if (state != kActiveBody) {
            continue;
        }

        KorvaneGeometry::SolidBody& body = part.bodies.emplace_back();
        body.index = static_cast<int>(part.bodies.size()) - 1;
        body.cti = -1;
        body.colour = KorvaneGeometry::kNoColour;
        if (ProErrors status = readParameterEntries(handle, ParameterScope::PartOrBody, &body.cti,
                                                    body.attributes);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        ProAsmitem item{};
        if (ProErrors status =
                ProAsmcompAsmitemInit(handle.owner, handle.id, PRO_BODY, occurrence.wideName,
                                      &context.componentPath, &item);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (ProErrors status = visibleSideColour(item, body.colour); status != PRO_TK_NO_ERROR) {
            return status;
        }

        KorvaneGeometry::TriangleCollector collector;
        if (ProErrors status = collectTriangles(context, occurrence, handle, body, collector);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (collector.triangles.empty()) {
            ++failed;
            part.bodies.pop_back(); // the next body takes its position
            continue;
        }
        collector.weldInto(body);
        for (KorvaneGeometry::Point3& p : body.mesh.points) {
            p.x = occurrence.unit.toMillimetres(p.x);
            p.y = occurrence.unit.toMillimetres(p.y);
            p.z = occurrence.unit.toMillimetres(p.z);
        }
    }
    if (ProErrors status = handles.release(); status != PRO_TK_NO_ERROR) {
        return status;
    }

    if (failed == 0) {
        return PRO_TK_NO_ERROR;
    }
    // Construction bodies and bodies in other states count in the host's number.
    const char* key = failed == count ? "WarningPartFailed %0s" : "WarningBodiesOfPartFailed %0s";
    return warnOnce(context.warnedPartFailed, key, occurrence.plainName);
}

// The host's row-vector matrix as a row-by-row matrix for column vectors, in millimetres of
// the top model: the translation carries the top model's factor, the rotation block that
// factor divided by the part's.
KorvaneGeometry::Matrix4 componentMatrix(const ExtractionContext& context,
                                         const Occurrence& occurrence, const ProMatrix& host) {
    KorvaneGeometry::Matrix4 m = KorvaneGeometry::toFlatMatrix(host);
    KorvaneGeometry::transposeMatrix(m);
    for (std::size_t i = 0; i < 12; ++i) {
        m[i] = context.rootUnit.toMillimetres(m[i]);
    }
    for (std::size_t i : {0u, 1u, 2u, 4u, 5u, 6u, 8u, 9u, 10u}) {
        m[i] = occurrence.unit.fromMillimetres(m[i]);
    }
    return m;
}

ProErrors placePart(ExtractionContext& context, Occurrence& occurrence, const std::string& partName,
                    const ProMatrix& transformation) {
    KorvaneGeometry::Colour colour = KorvaneGeometry::kNoColour;
    if (occurrence.feature != nullptr) {
        ProAsmitem item{};
        if (ProErrors status = ProAsmcompAsmitemInit(
                occurrence.feature->owner, occurrence.feature->id, PRO_FEATURE, occurrence.wideName,
                &context.componentPath, &item);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (ProErrors status = visibleSideColour(item, colour); status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    const KorvaneGeometry::Matrix4 matrix = componentMatrix(context, occurrence, transformation);
    KorvaneGeometry::CAD_Assembly& target = *context.target;
    const int added = target.addComponent(partName, matrix, colour);
    if (added == 0) {
        if (!context.nodeStack.empty()) {
            const auto node = static_cast<std::size_t>(context.nodeStack.back().first);
            target.nodes[node].children.emplace_back(static_cast<int>(target.components.size()) - 1,
                                                     false);
        }
        return PRO_TK_NO_ERROR;
    }
    if (added == -2) {
        return warnOnce(context.warnedDuplicateComponent, "WarningDuplicateComponent %0s",
                        occurrence.plainName);
    }
    return PRO_TK_NO_ERROR;
}

// A part name made with a count: the plain name, "_flexible_" for a flexible occurrence or "_"
// for a model whose plain name another model's part has, and the next count of that plain name
// in that form. A count whose name a stored part has already is passed over: counts only go up,
// so that part was not made for this name.
std::string numberedPartName(ExtractionContext& context, const std::string& plainName,
                             bool flexible) {
    std::map<std::string, std::int32_t>& counts =
        flexible ? context.flexibleCounts : context.sharedNameCounts;
    const std::string stem = plainName + (flexible ? "_flexible_" : "_");
    std::string name;
    do {
        name = stem + std::to_string(++counts[plainName]);
    } while (context.target->hasPart(name));
    return name;
}

// A part whose name was given to it gives that name up to the model that has it exactly, and
// takes its plain name's next count.
void moveGivenPartAside(ExtractionContext& context, const std::string& name) {
    auto given = context.givenPartNames.extract(name);
    const ExtractionContext::GivenName& origin = given.mapped();
    const std::string next = numberedPartName(context, origin.plainName, origin.flexible);
    context.target->renamePart(name, next);
    if (!origin.flexible) {
        context.modelPartNames[origin.model] = next;
    }
    given.key() = next;
    context.givenPartNames.insert(std::move(given));
}

// Whether the occurrence is taken: a component that is invisible along its path, hidden,
// unplaced, a bulk item or suppressed is passed over. A path the host cannot judge
// (PRO_TK_BAD_CONTEXT) keeps the preset visibility.
ProErrors occurrenceTaken(ExtractionContext& context, ProFeature* feature, bool& taken) {
    taken = false;
    ProBoolean visible = PRO_B_TRUE;
    if (ProErrors status = ProAsmcompVisibilityGet(&context.componentPath, nullptr, &visible);
        status != PRO_TK_NO_ERROR && status != PRO_TK_BAD_CONTEXT) {
        return status;
    }
    if (visible == PRO_B_FALSE) {
        return PRO_TK_NO_ERROR;
    }
    if (feature != nullptr) {
        using FlagGet = ProErrors (*)(ProModelitem*, ProBoolean*);
        for (FlagGet get : {FlagGet{ProModelitemIsHidden}, FlagGet{ProAsmcompIsUnplaced},
                            FlagGet{ProAsmcompIsBulkitem}}) {
            ProBoolean flag = PRO_B_FALSE;
            if (ProErrors status = get(feature, &flag); status != PRO_TK_NO_ERROR) {
                return status;
            }
            if (flag != PRO_B_FALSE) {
                return PRO_TK_NO_ERROR;
            }
        }
        ProFeatStatus featureStatus = 0;
        if (ProErrors status = ProFeatureStatusGet(feature, &featureStatus);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (featureStatus == kSuppressedFeature) {
            return PRO_TK_NO_ERROR;
        }
    }
    taken = true;
    return PRO_TK_NO_ERROR;
}

ProErrors addOccurrence(ExtractionContext& context, Occurrence& occurrence) {
    ProFeature* feature = occurrence.feature;
    bool taken = false;
    if (ProErrors status = occurrenceTaken(context, feature, taken); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (!taken) {
        return PRO_TK_NO_ERROR;
    }

    if (ProErrors status = ProMdlMdlnameGet(*occurrence.model, occurrence.wideName);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    occurrence.plainName = narrowText(occurrence.wideName, PRO_MDLNAME_SIZE);

    // A placement the host cannot give leaves the occurrence out with a warning.
    ProMatrix transformation{};
    if (ProAsmcomppathTrfGet(&context.componentPath, PRO_B_TRUE, transformation) !=
        PRO_TK_NO_ERROR) {
        return warnOnce(context.warnedPartFailed, "WarningPartFailed %0s", occurrence.plainName);
    }

    ProModelitem partItem{};
    if (ProErrors status = ProMdlToModelitem(*occurrence.model, &partItem);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = readLengthUnit(*occurrence.model, occurrence.unit);
        status != PRO_TK_NO_ERROR) {
        return status;
    }

    ProBoolean flexibleFlag = PRO_B_FALSE;
    if (feature != nullptr) {
        if (ProErrors status = ProAsmcompIsFlexible(feature, &flexibleFlag);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    const bool insideFlexible = !context.nodeStack.empty() && context.nodeStack.back().second;
    if (flexibleFlag != PRO_B_FALSE || insideFlexible) {
        // Every flexible occurrence is a part of its own.
        const std::string partName = numberedPartName(context, occurrence.plainName, true);
        KorvaneGeometry::SinglePart part;
        if (ProErrors status = readPart(context, occurrence, partItem, part);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (part.bodies.empty()) {
            return PRO_TK_NO_ERROR; // no body kept: no part, no component
        }
        part.name = partName;
        context.target->appendPart(std::move(part));
        context.givenPartNames.emplace(
            partName, ExtractionContext::GivenName{occurrence.plainName, true, {}});
        return placePart(context, occurrence, partName, transformation);
    }

    // The other occurrences of one model share its part. The model is known by its wide name:
    // names that differ only in characters the narrow text cannot hold narrow alike.
    const std::wstring model(occurrence.wideName, wcsnlen(occurrence.wideName, PRO_MDLNAME_SIZE));
    const auto known = context.modelPartNames.find(model);
    if (known != context.modelPartNames.end()) {
        const std::string partName = known->second;
        return placePart(context, occurrence, partName, transformation);
    }
    KorvaneGeometry::SinglePart part;
    if (ProErrors status = readPart(context, occurrence, partItem, part);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (part.bodies.empty()) {
        return PRO_TK_NO_ERROR; // no body kept: no part, no component
    }
    // The plain name, unless another model's part has it. A model whose name narrows exactly to
    // it takes it from a part that was given it; any other model gets a name with a count. A
    // plain name that is not exactly the model's own is given too: it goes to the model that has
    // it exactly, should that come later.
    const bool exact = exactNarrowText(model) == occurrence.plainName;
    std::string partName = occurrence.plainName;
    bool given = !exact;
    if (context.target->hasPart(partName)) {
        if (exact && context.givenPartNames.count(partName) != 0) {
            moveGivenPartAside(context, partName);
        } else {
            partName = numberedPartName(context, occurrence.plainName, false);
            given = true;
        }
    }
    part.name = partName;
    context.target->appendPart(std::move(part));
    context.modelPartNames.emplace(model, partName);
    if (given) {
        context.givenPartNames.emplace(
            partName, ExtractionContext::GivenName{occurrence.plainName, false, model});
    }
    return placePart(context, occurrence, partName, transformation);
}

} // namespace

ProErrors addPart(ProMdl* model, ProFeature* feature) {
    ExtractionContext* context = g_extractionContext.get();
    if (context == nullptr || model == nullptr) {
        return PRO_TK_BAD_CONTEXT;
    }
    Occurrence occurrence(model, feature);
    return addOccurrence(*context, occurrence);
}

} // namespace Velmora
