// One owner for everything the host hands out: HostOwned<Handle, Release> gives its handle back
// with Release when it goes out of scope; release() does it now and hands on the host's status.
#pragma once

#include "HostStatus.h"
#include "ProFunctions.h"

namespace Velmora {

// Handle is what the host writes (a pointer, or HostStrings); it converts to true while it holds
// a block. Release gives the block back to the host and returns the host's status.
template <class Handle, ProErrors (*Release)(Handle)> class HostOwned {
public:
    HostOwned() = default;
    HostOwned(const HostOwned&) = delete;
    HostOwned& operator=(const HostOwned&) = delete;
    ~HostOwned() { ignoreStatus(release(), "the way out taken has its own result already"); }

    // Where the host writes the handle; whatever was held before goes back first (callers that
    // care for that release's status call release() before).
    Handle* out() {
        ignoreStatus(release(), "a caller that cares releases before");
        return &handle_;
    }
    const Handle& get() const { return handle_; }
    explicit operator bool() const { return static_cast<bool>(handle_); }

    // Gives the block back now; 0 when nothing is held.
    [[nodiscard]] ProErrors release() {
        if (!handle_) {
            return PRO_TK_NO_ERROR;
        }
        Handle handle = handle_;
        handle_ = Handle{};
        return Release(handle);
    }

private:
    Handle handle_{};
};

// Names the host hands out with their count (ProStringarrayFree needs both).
struct HostStrings {
    char** names = nullptr;
    int count = 0;
    explicit operator bool() const { return names != nullptr; }
};

// The host's free functions in the one form the owner calls.
namespace HostRelease {
template <class Element> ProErrors array(Element* elements) {
    ProArray array = elements;
    return ProArrayFree(&array);
}
inline ProErrors strings(HostStrings strings) {
    return ProStringarrayFree(strings.names, strings.count);
}
inline ProErrors surfaceData(ProGeomitemdata* data) {
    return ProGeomitemdataFree(&data);
}
} // namespace HostRelease

// A host array of Element (void for an untyped ProArray).
template <class Element> using HostArray = HostOwned<Element*, HostRelease::array<Element>>;
using HostWideText = HostOwned<wchar_t*, ProWstringFree>;
using HostStringArray = HostOwned<HostStrings, HostRelease::strings>;
using TessellationInputOwner =
    HostOwned<ProSurfaceTessellationInput, ProSurfacetessellationinputFree>;
using TessellationOwner = HostOwned<ProTessellation, ProTessellationFree>;
using SurfaceDataOwner = HostOwned<ProGeomitemdata*, HostRelease::surfaceData>;
using FacetVerticesOwner = HostOwned<ProFacetvertex*, ProFacetverticesFree>;

} // namespace Velmora
