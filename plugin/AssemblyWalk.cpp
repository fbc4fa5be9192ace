#include "AssemblyWalk.h"

#include "ExtractionContext.h"
#include "HostCallback.h"
#include "Messages.h"
#include "NarrowText.h"
#include "PartExtraction.h"
#include "ProFunctions.h"

namespace Velmora {

namespace {

// Shows the warning for a sub-assembly without features, once per name.
ProErrors warnNoComponents(ExtractionContext& context, ProMdl model) {
    ProMdlName wide{};
    if (ProErrors status = ProMdlMdlnameGet(model, wide); status != PRO_TK_NO_ERROR) {
        return status;
    }
    const std::string name = narrowText(wide, PRO_MDLNAME_SIZE);
    if (!context.warnedNoComponents.insert(name).second) {
        return PRO_TK_NO_ERROR;
    }
    return showMessage("WarningAssemblyHasNoComponents %0s", {name.c_str()});
}

ProErrors visitSubassembly(ExtractionContext& context, ProFeature* feature, ProMdl model,
                           const std::string& name, ProAppData data) {
    ProBoolean flexibleFlag = PRO_B_FALSE;
    if (ProErrors status = ProAsmcompIsFlexible(feature, &flexibleFlag);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    bool flexible = flexibleFlag == PRO_B_TRUE;
    KorvaneGeometry::CAD_Assembly& target = *context.target;
    const auto index = static_cast<std::int32_t>(target.nodes.size());
    if (!context.nodeStack.empty()) {
        const auto& [parent, parentFlexible] = context.nodeStack.back();
        target.nodes[static_cast<std::size_t>(parent)].children.emplace_back(index, true);
        flexible = flexible || parentFlexible;
    }
    context.nodeStack.emplace_back(index, flexible);
    target.nodes.emplace_back().name = name;

    const ProErrors walked = ProSolidFeatVisit(model, visitAssemblyFeature, nullptr, data);
    // Without features the node stays empty, and the sub-assembly is warned about instead.
    if (ProErrors status = walked == PRO_TK_E_NOT_FOUND ? warnNoComponents(context, model) : walked;
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    context.nodeStack.pop_back();
    return PRO_TK_NO_ERROR;
}

// The model placed by a component feature that the walk takes: null for a feature of another
// type, a hidden or invisible component, or one whose model the host does not find. None of
// these questions needs the feature's id on the component path.
ProErrors placedModel(ProFeature* feature, ProMdl& model) {
    model = nullptr;
    ProFeattype type = 0;
    if (ProErrors status = ProFeatureTypeGet(feature, &type); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (type != PRO_FEAT_COMPONENT) {
        return PRO_TK_NO_ERROR;
    }
    ProBoolean hidden = PRO_B_FALSE;
    if (ProErrors status = ProModelitemIsHidden(feature, &hidden); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (hidden == PRO_B_TRUE) {
        return PRO_TK_NO_ERROR;
    }
    ProBoolean visible = PRO_B_TRUE;
    if (ProErrors status = ProFeatureVisibilityGet(feature, &visible); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (visible == PRO_B_FALSE) {
        return PRO_TK_NO_ERROR;
    }
    ProMdl found = nullptr;
    if (ProErrors status = ProAsmcompMdlGet(feature, &found); status != PRO_TK_NO_ERROR) {
        // The host does not find the placed model: passed over.
        return status == PRO_TK_E_NOT_FOUND ? PRO_TK_NO_ERROR : status;
    }
    model = found;
    return PRO_TK_NO_ERROR;
}

// One feature whose id is on the path already: a sub-assembly is walked, a part handed to the
// part extraction, anything else passed over. 0 means "leave".
ProErrors visitComponent(ExtractionContext& context, ProFeature* feature, ProAppData data) {
    ProMdl model = nullptr;
    if (ProErrors status = placedModel(feature, model); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (model == nullptr) {
        return PRO_TK_NO_ERROR;
    }
    ProMdlType modelType = 0;
    if (ProErrors status = ProMdlTypeGet(model, &modelType); status != PRO_TK_NO_ERROR) {
        return status;
    }
    ProMdlName wide{};
    if (ProErrors status = ProMdlMdlnameGet(model, wide); status != PRO_TK_NO_ERROR) {
        return status;
    }
    const std::string name = narrowText(wide, PRO_MDLNAME_SIZE);
    if (modelType == PRO_MDL_ASSEMBLY) {
        return visitSubassembly(context, feature, model, name, data);
    }
    if (modelType == PRO_MDL_PART) {
        return addPart(&model, feature);
    }
    return TARVELO_MODEL_NOT_USABLE;
}

} // namespace

ProErrors visitAssemblyFeature(ProFeature* feature, ProErrors /*status*/, ProAppData data) {
    return guardHostCallback(
        [&]() -> ProErrors {
            ExtractionContext* context = g_extractionContext.get();
            if (context == nullptr || feature == nullptr) {
                return PRO_TK_BAD_CONTEXT;
            }
            ProAsmcomppath& path = context->componentPath;
            if (path.table_num < 0 || path.table_num > PRO_MAX_ASSEM_LEVEL) {
                return PRO_TK_BAD_CONTEXT;
            }
            if (path.table_num == PRO_MAX_ASSEM_LEVEL) {
                // No room for a 26th id. What the walk passes over there needs no path; a
                // component it would take cannot be placed or read, and leaving it out would
                // lose it unnoticed.
                ProMdl model = nullptr;
                if (ProErrors status = placedModel(feature, model); status != PRO_TK_NO_ERROR) {
                    return status;
                }
                return model == nullptr ? ProErrors{PRO_TK_NO_ERROR}
                                        : ProErrors{TARVELO_NESTING_TOO_DEEP};
            }
            path.comp_id_table[path.table_num] = feature->id;
            ++path.table_num;
            // A failure ends the extraction; the path stays as it is.
            if (ProErrors status = visitComponent(*context, feature, data);
                status != PRO_TK_NO_ERROR) {
                return status;
            }
            --path.table_num;
            path.comp_id_table[path.table_num] = -1;
            return PRO_TK_NO_ERROR;
        },
        PRO_TK_GENERAL_ERROR);
}

} // namespace Velmora
