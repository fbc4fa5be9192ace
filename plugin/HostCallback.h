// The host boundary: every function the host calls (entry points, the command, dialog actions,
// visit actions) runs its body through guardHostCallback, so that no exception reaches the host.
#pragma once

#include "ProToolkit.h"

#include <utility>

namespace Velmora {

// A user-interface action answers nothing: an exception (an allocation that failed) just ends
// it, and the dialog stays as the host shows it.
template <class Body> void guardHostCallback(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        // Nothing to answer; the action is over.
    }
}

// A function that answers the host with a status: an exception ends it with `failed`, the status
// the host gets instead (PRO_TK_GENERAL_ERROR ends a visit, and the extraction hands it up as its
// failure; the start-up reports a failed start with it).
template <class Body>
[[nodiscard]] ProErrors guardHostCallback(Body&& body, ProErrors failed) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failed;
    }
}

} // namespace Velmora
