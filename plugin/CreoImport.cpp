#include "CreoImport.h"

#include "AssemblyWalk.h"
#include "ExtractionContext.h"
#include "LengthUnit.h"
#include "NarrowText.h"
#include "ParameterSearch.h"
#include "PartExtraction.h"
#include "ProFunctions.h"
#include "ScopeGuard.h"

#include <cwchar>
#include <memory>
#include <string>

namespace Velmora {

namespace {

ProErrors extractAssembly(ExtractionContext& context, const std::string& name) {
    KorvaneGeometry::CAD_Assembly& target = *context.target;
    const auto rootIndex = static_cast<std::int32_t>(target.nodes.size());
    context.nodeStack.emplace_back(rootIndex, false);
    target.nodes.emplace_back().name = name;

    ProModelitem item{};
    if (ProErrors status = ProMdlToModelitem(context.rootModel, &item); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status =
            readParameterEntries(item, ParameterScope::AssemblyNode, nullptr,
                                 target.nodes[static_cast<std::size_t>(rootIndex)].attributes);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    // An assembly without features is a failure here, PRO_TK_E_NOT_FOUND included.
    if (ProErrors status =
            ProSolidFeatVisit(context.rootModel, visitAssemblyFeature, nullptr, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    context.nodeStack.pop_back();
    return PRO_TK_NO_ERROR;
}

ProErrors extract(ExtractionContext& context, std::wstring& rootModelName) {
    KorvaneGeometry::CAD_Assembly& target = *context.target;
    // A release too old to tell its number (PRO_TK_GENERAL_ERROR) is named -1.
    int release = -1;
    if (ProErrors status = ProReleaseNumberGet(&release);
        status != PRO_TK_NO_ERROR && status != PRO_TK_GENERAL_ERROR) {
        return status;
    }
    target.setSourceSystem("PTC Creo Parametric " + std::to_string(release));

    if (ProErrors status = ProMdlCurrentGet(&context.rootModel); status != PRO_TK_NO_ERROR) {
        return status;
    }
    ProName wideName{};
    if (ProErrors status = ProMdlNameGet(context.rootModel, wideName); status != PRO_TK_NO_ERROR) {
        return status;
    }
    rootModelName.assign(wideName, wcsnlen(wideName, PRO_NAME_SIZE));
    const std::string name = narrowText(wideName, PRO_NAME_SIZE);
    target.setName(name);

    ProMdlType type = 0;
    if (ProErrors status = ProMdlTypeGet(context.rootModel, &type); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = readLengthUnit(context.rootModel, context.rootUnit);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    ProIdTable noIds;
    for (int& id : noIds) {
        id = -1;
    }
    if (ProErrors status = ProAsmcomppathInit(context.rootModel, noIds, 0, &context.componentPath);
        status != PRO_TK_NO_ERROR) {
        return status;
    }

    if (type == PRO_MDL_ASSEMBLY) {
        return extractAssembly(context, name);
    }
    if (type == PRO_MDL_PART) {
        // No node: the part's component is linked to none.
        return addPart(&context.rootModel, nullptr);
    }
    return TARVELO_MODEL_NOT_USABLE;
}

} // namespace

ProErrors CreoImport::computeAssembly(KorvaneGeometry::CAD_Assembly& target,
                                      const Velmora::OptionsPersistency& options) {
    std::wstring rootModelName;
    return computeAssembly(target, options, rootModelName);
}

ProErrors CreoImport::computeAssembly(KorvaneGeometry::CAD_Assembly& target,
                                      const Velmora::OptionsPersistency& options,
                                      std::wstring& rootModelName) {
    rootModelName.clear();
    // The context lives exactly as long as this call, also when an exception leaves it.
    ScopeGuard context(
        [&] { g_extractionContext = std::make_unique<ExtractionContext>(&target, &options); },
        [] { g_extractionContext.reset(); });
    return extract(*g_extractionContext, rootModelName);
}

} // namespace Velmora
