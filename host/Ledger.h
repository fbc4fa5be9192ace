// The host's allocation ledger: every block the host hands out is recorded until the plug-in
// releases it with the matching free function. An unknown pointer, a second release or a
// release through the wrong function is refused (PRO_TK_BAD_INPUTS) and recorded as a violation.
#pragma once

#include "ProToolkit.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace Hostsim {

enum class AllocationKind {
    Array,             // ProArrayFree
    WideString,        // ProWstringFree
    StringArray,       // ProStringarrayFree
    Tessellation,      // ProTessellationFree
    TessellationInput, // ProSurfacetessellationinputFree
    GeomitemData,      // ProGeomitemdataFree
    FacetVertices,     // ProFacetverticesFree
};

const char* allocationKindName(AllocationKind kind);

struct Allocation {
    AllocationKind kind;
    std::string function; // the host function that handed it out
    std::size_t elementSize = 0;
    std::size_t count = 0;
    std::vector<void*> parts;         // string arrays: the strings
    void (*destroy)(void*) = nullptr; // host objects; raw blocks use free()
    std::string messageKey;           // a message text: the key it was made from
};

class Ledger {
public:
    Ledger() = default;
    Ledger(const Ledger&) = delete;
    Ledger& operator=(const Ledger&) = delete;
    ~Ledger();

    // A zeroed block of count elements (at least one byte is allocated).
    void* allocate(AllocationKind kind, const std::string& function, std::size_t elementSize,
                   std::size_t count);
    // A host-side object; `destroy` deletes it.
    void* adopt(AllocationKind kind, const std::string& function, void* object,
                void (*destroy)(void*));
    // A wide string copy / an array of narrow string copies.
    wchar_t* allocateWideString(const std::string& function, const std::wstring& text);
    char** allocateStringArray(const std::string& function, const std::vector<std::string>& texts);

    // Releases a block of this kind; PRO_TK_BAD_INPUTS (and a violation) otherwise.
    ProErrors release(AllocationKind kind, void* block, const std::string& function,
                      std::size_t expectedCount = static_cast<std::size_t>(-1));

    // Marks a live wide string as the text of a message key.
    void setMessageKey(const void* block, std::string key);

    // The live block, or null (also for a block of another kind when kind is given).
    const Allocation* find(const void* block) const;
    const Allocation* find(const void* block, AllocationKind kind) const;

    bool empty() const { return live_.empty(); }
    std::size_t outstanding() const { return live_.size(); }
    std::size_t handedOut() const { return handedOut_; }
    const std::vector<std::string>& violations() const { return violations_; }
    void recordViolation(std::string text) { violations_.push_back(std::move(text)); }
    // Outstanding blocks and violations, one per line; empty when all is well.
    std::string report() const;
    // Releases everything and forgets the violations.
    void reset();

private:
    void destroyBlock(void* block, Allocation& allocation);
    std::map<const void*, Allocation> live_;
    std::map<const void*, std::string> released_; // to tell a second release from an unknown one
    std::vector<std::string> violations_;
    std::size_t handedOut_ = 0;
};

} // namespace Hostsim
