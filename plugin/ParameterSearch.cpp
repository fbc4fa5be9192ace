#include "ParameterSearch.h"

#include "ExtractionContext.h"
#include "HostAllocations.h"
#include "HostCallback.h"
#include "ProFunctions.h"

#include <cwchar>
#include <string>
#include <string_view>

namespace Velmora {

namespace {

constexpr int kCtiMax = 1000;

// The wanted parameter name for the entry index in data; null for an index outside the list.
const std::wstring* wantedName(const ExtractionContext& context, ProAppData data) {
    const int index = data == nullptr ? kCtiEntry : *static_cast<const int*>(data);
    if (index == kCtiEntry) {
        return &context.options->ctiParameter;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= context.options->importAttributes.size()) {
        return nullptr;
    }
    return &context.options->importAttributes[static_cast<std::size_t>(index)].name;
}

ProErrors readCti(ExtractionContext& context, const ProParamvalue& value, ProParamvalueType type) {
    if (type != PRO_PARAM_INTEGER) {
        return PRO_TK_NO_ERROR;
    }
    int n = 0;
    if (ProErrors status = ProParamvalueContentGet(&value, PRO_PARAM_INTEGER, &n);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (n < 0) {
        n = -1;
    } else if (n > kCtiMax) {
        n = kCtiMax;
    }
    if (context.foundCti == -1) {
        context.foundCti = n;
    }
    return PRO_TK_NO_ERROR;
}

// The value of a double, text or integer parameter as text; other kinds leave none.
ProErrors readAttribute(ExtractionContext& context, const ProParamvalue& value,
                        ProParamvalueType type) {
    if (!context.foundValue.empty()) {
        return PRO_TK_NO_ERROR;
    }
    switch (type) {
    case PRO_PARAM_DOUBLE: {
        double d = 0.0;
        if (ProErrors status = ProParamvalueContentGet(&value, type, &d);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        context.foundValue = std::to_wstring(d); // "%f"
        return PRO_TK_NO_ERROR;
    }
    case PRO_PARAM_STRING: {
        ProLine text{};
        if (ProErrors status = ProParamvalueContentGet(&value, type, text);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        context.foundValue.assign(text, wcsnlen(text, PRO_LINE_SIZE));
        return PRO_TK_NO_ERROR;
    }
    case PRO_PARAM_INTEGER: {
        int n = 0;
        if (ProErrors status = ProParamvalueContentGet(&value, type, &n);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        context.foundValue = std::to_wstring(n);
        return PRO_TK_NO_ERROR;
    }
    default:
        return PRO_TK_NO_ERROR;
    }
}

// One parameter visit of the item; 0 and PRO_TK_E_NOT_FOUND (no parameters) go on.
ProErrors visitItemParameters(ProModelitem& item, int* index) {
    ProErrors status = ProParameterVisit(&item, nullptr, visitParameter, index);
    return status == PRO_TK_E_NOT_FOUND ? PRO_TK_NO_ERROR : status;
}

// The CTI of the feature that made the item, else of that feature's direct parents, the last
// in the host's list first. What the host does not find (the feature, its parent list, one
// parent) leaves nothing to search there; the body's CTI then stands in.
ProErrors searchFeatureAndParents(ExtractionContext& context, ProGeomitem& item) {
    ProFeature feature{};
    if (ProErrors status = ProGeomitemFeatureGet(&item, &feature); status != PRO_TK_NO_ERROR) {
        return status == PRO_TK_E_NOT_FOUND ? PRO_TK_NO_ERROR : status;
    }
    if (ProErrors status = visitItemParameters(feature, nullptr); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (context.foundCti != -1) {
        return PRO_TK_NO_ERROR;
    }
    HostArray<int> parents;
    int count = 0;
    if (ProErrors status = ProFeatureParentsGet(&feature, parents.out(), &count);
        status != PRO_TK_NO_ERROR) {
        return status == PRO_TK_E_NOT_FOUND ? PRO_TK_NO_ERROR : status;
    }
    for (int i = count - 1; i >= 0 && context.foundCti == -1; --i) {
        ProFeature parent{};
        if (ProErrors status = ProFeatureInit(*context.partModel, parents.get()[i], &parent);
            status != PRO_TK_NO_ERROR) {
            if (status == PRO_TK_E_NOT_FOUND) {
                continue; // a parent the host does not find has nothing to search
            }
            return status;
        }
        if (ProErrors status = visitItemParameters(parent, nullptr); status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return parents.release();
}

} // namespace

ProErrors visitParameter(ProParameter* parameter, ProErrors /*status*/, ProAppData data) {
    return guardHostCallback(
        [&]() -> ProErrors {
            ExtractionContext* context = g_extractionContext.get();
            if (context == nullptr || parameter == nullptr) {
                return PRO_TK_BAD_CONTEXT;
            }
            const std::wstring* wanted = wantedName(*context, data);
            if (wanted == nullptr) {
                return PRO_TK_BAD_INPUTS;
            }
            const std::wstring_view name(parameter->id, wcsnlen(parameter->id, PRO_NAME_SIZE));
            if (name != *wanted) {
                return PRO_TK_NO_ERROR;
            }
            ProParamvalue value{};
            ProUnititem units{};
            if (ProErrors status = ProParameterValueWithUnitsGet(parameter, &value, &units);
                status != PRO_TK_NO_ERROR) {
                return status;
            }
            ProParamvalueType type = 0;
            if (ProErrors status = ProParamvalueKindGet(&value, &type); status != PRO_TK_NO_ERROR) {
                return status;
            }
            const bool ctiMode = data == nullptr || *static_cast<const int*>(data) == kCtiEntry;
            return ctiMode ? readCti(*context, value, type) : readAttribute(*context, value, type);
        },
        PRO_TK_GENERAL_ERROR);
}

ProErrors readParameterEntries(ProModelitem& item, ParameterScope scope, int* cti,
                               std::vector<KorvaneGeometry::PartAttribute>& attributes) {
    ExtractionContext* context = g_extractionContext.get();
    if (context == nullptr) {
        return PRO_TK_BAD_CONTEXT;
    }
    if (scope == ParameterScope::PartOrBody) {
        context->foundCti = -1;
        context->foundValue.clear();
        int index = kCtiEntry;
        if (ProErrors status = visitItemParameters(item, &index); status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (cti != nullptr) {
            *cti = context->foundCti >= 0 ? context->foundCti : -1;
        }
    }
    // The list is read afresh for every entry.
    for (int index = 0; static_cast<std::size_t>(index) < context->options->importAttributes.size();
         ++index) {
        context->foundValue.clear();
        const int type = context->options->importAttributes[static_cast<std::size_t>(index)].type;
        const bool excluded = scope == ParameterScope::PartOrBody ? type == 1 : type == 0;
        if (excluded) {
            continue;
        }
        if (ProErrors status = visitItemParameters(item, &index); status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (!context->foundValue.empty()) {
            attributes.emplace_back(
                context->options->importAttributes[static_cast<std::size_t>(index)].name,
                context->foundValue);
        }
    }
    return PRO_TK_NO_ERROR;
}

ProErrors lookupGeometryCti(ProGeomitem& item, bool ownFirst, int& cti) {
    ExtractionContext* context = g_extractionContext.get();
    if (context == nullptr || context->partModel == nullptr) {
        return PRO_TK_BAD_CONTEXT;
    }
    context->foundCti = -1;
    if (ownFirst) {
        if (ProErrors status = visitItemParameters(item, nullptr); status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    if (context->foundCti == -1) {
        if (ProErrors status = searchFeatureAndParents(*context, item); status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    cti = context->foundCti >= 0 ? context->foundCti : context->currentBodyCti;
    return PRO_TK_NO_ERROR;
}

} // namespace Velmora
