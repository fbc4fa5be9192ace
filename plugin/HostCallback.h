// Visit actions are called by the host: no exception may leave them. An exception that reaches
// this boundary (an allocation that failed, a mesh too large for its indices) ends the host's
// visit with PRO_TK_GENERAL_ERROR, which the extraction hands up as its failure.
#pragma once

#include "ProToolkit.h"

#include <utility>

namespace Velmora {

template <class Body> ProErrors guardHostCallback(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return PRO_TK_GENERAL_ERROR;
    }
}

} // namespace Velmora
