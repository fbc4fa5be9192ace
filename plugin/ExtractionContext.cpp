#include "ExtractionContext.h"

namespace Velmora {

ExtractionContext::ExtractionContext(KorvaneGeometry::CAD_Assembly* target,
                                     const OptionsPersistency* options)
    : target(target), options(options) {}

} // namespace Velmora

std::unique_ptr<Velmora::ExtractionContext> g_extractionContext;
