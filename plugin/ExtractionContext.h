// The working state of one extraction, shared by the driver, the assembly walk, the parameter
// searches, the part extraction and the surface visitors. Host visits get no pointer to it:
// every visit action reaches it through g_extractionContext, which holds a context only while
// Velmora::CreoImport::computeAssembly runs.
#pragma once

#include "CAD_Assembly.h"
#include "LengthUnit.h"
#include "OptionsPersistency.h"
#include "ProToolkit.h"
#include "SolidBody.h"
#include "TriangleCollector.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace Velmora {

struct ExtractionContext {
    ExtractionContext(KorvaneGeometry::CAD_Assembly* target, const OptionsPersistency* options);
    ExtractionContext(const ExtractionContext&) = delete;
    ExtractionContext& operator=(const ExtractionContext&) = delete;
    ExtractionContext(ExtractionContext&&) = delete;
    ExtractionContext& operator=(ExtractionContext&&) = delete;

    KorvaneGeometry::CAD_Assembly* target;
    const OptionsPersistency* options;
    // Length unit of the current model.
    LengthUnit rootUnit;

    // The part and body whose surfaces are being visited; set for one body's visits only.
    const ProMdl* partModel = nullptr;
    const LengthUnit* partUnit = nullptr;
    KorvaneGeometry::SolidBody* currentBody = nullptr;
    std::int32_t currentBodyCti = -1;
    KorvaneGeometry::TriangleCollector* collector = nullptr;
    bool tessellationFailed = false;

    ProMdl rootModel = nullptr;
    // From the current model down to the component being visited.
    ProAsmcomppath componentPath{};

    // What visitParameter found: the first CTI hit, the first attribute value.
    std::int32_t foundCti = -1;
    std::wstring foundValue;

    // (index into CAD_Assembly::nodes, flexible), innermost last.
    std::deque<std::pair<std::int32_t, bool>> nodeStack;
    // Per plain name, the last count given to a flexible occurrence's part name.
    std::map<std::string, std::int32_t> flexibleCounts;
    // Per plain name, the last count given to the part of a model whose plain name was the name
    // of another model's part.
    std::map<std::string, std::int32_t> sharedNameCounts;
    // The part that the non-flexible occurrences of a model share, by the model's wide name:
    // models whose names narrow alike are told apart by it.
    std::map<std::wstring, std::string> modelPartNames;
    // The stored parts whose names give way to the model that has that name exactly: parts of
    // flexible occurrences, parts named with a count, and parts named after a model whose narrow
    // name is not exactly its own. Each with the plain name its next count is taken for.
    struct GivenName {
        std::string plainName;
        bool flexible = false;
        std::wstring model; // the model whose occurrences share the part; empty when flexible
    };
    std::map<std::string, GivenName> givenPartNames;

    // Names already warned about, one set per kind of warning.
    std::set<std::string> warnedNoComponents;
    std::set<std::string> warnedDuplicateComponent;
    std::set<std::string> warnedTessellationFailed;
    std::set<std::string> warnedPartFailed; // "WarningPartFailed" and "WarningBodiesOfPartFailed"
};

} // namespace Velmora

// The one live context; empty outside an extraction. A context still held when the module
// unloads is deleted then.
extern std::unique_ptr<Velmora::ExtractionContext> g_extractionContext;
