// Owners of what the host hands out during an extraction. Each releases its block with the
// host's own free function when it goes out of scope (the status of that release is lost then);
// release() frees it at a chosen point and gives the host's status.
#pragma once

#include "ProFunctions.h"

namespace Velmora {

namespace HostRelease {
inline ProErrors free(ProSurfaceTessellationInput& input) {
    return ProSurfacetessellationinputFree(input);
}
inline ProErrors free(ProTessellation& tessellation) {
    return ProTessellationFree(tessellation);
}
inline ProErrors free(ProGeomitemdata*& data) {
    return ProGeomitemdataFree(&data);
}
inline ProErrors free(ProFacetvertex*& vertices) {
    return ProFacetverticesFree(vertices);
}
} // namespace HostRelease

// Handle is a pointer type the host allocated (a host array, tessellation, surface data, ...).
template <class Handle> class HostOwned {
public:
    HostOwned() = default;
    HostOwned(const HostOwned&) = delete;
    HostOwned& operator=(const HostOwned&) = delete;
    ~HostOwned() { release(); }

    // Where the host writes the handle; whatever was held before is released first.
    Handle* out() {
        release();
        return &handle_;
    }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Frees the block now; 0 when nothing is held.
    ProErrors release() {
        if (handle_ == nullptr) {
            return PRO_TK_NO_ERROR;
        }
        Handle handle = handle_;
        handle_ = nullptr;
        return HostRelease::free(handle);
    }

private:
    Handle handle_ = nullptr;
};

// A typed host array (ProArrayFree).
template <class Element> class HostArrayOf {
public:
    HostArrayOf() = default;
    HostArrayOf(const HostArrayOf&) = delete;
    HostArrayOf& operator=(const HostArrayOf&) = delete;
    ~HostArrayOf() { release(); }

    Element** out() {
        release();
        return &elements_;
    }
    Element* get() const { return elements_; }
    explicit operator bool() const { return elements_ != nullptr; }
    Element& operator[](int i) const { return elements_[i]; }

    ProErrors size(int& count) const { return ProArraySizeGet(elements_, &count); }

    ProErrors release() {
        if (elements_ == nullptr) {
            return PRO_TK_NO_ERROR;
        }
        ProArray array = elements_;
        elements_ = nullptr;
        return ProArrayFree(&array);
    }

private:
    Element* elements_ = nullptr;
};

using TessellationInputOwner = HostOwned<ProSurfaceTessellationInput>;
using TessellationOwner = HostOwned<ProTessellation>;
using SurfaceDataOwner = HostOwned<ProGeomitemdata*>;
using FacetVerticesOwner = HostOwned<ProFacetvertex*>;

} // namespace Velmora
