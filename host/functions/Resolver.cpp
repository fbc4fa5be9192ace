// The host's function table, built from the toolkit's function list: a function the host does
// not implement resolves to null.
#include "HostFunctions.h"

#include <cstring>

namespace Hostsim {

namespace {

struct Entry {
    const char* name;
    void* function;
};

// The implementation's address when HostFunctions has one of this name, else null. Assigning to
// the list's function type makes a mismatching signature a compile error.
#define PRO_FUNCTION(ret, name, params, args)                                                      \
    template <class T> void* pick_##name() {                                                       \
        if constexpr (requires { &T::name; }) {                                                    \
            ProHostFunction::name* typed = &T::name;                                               \
            return reinterpret_cast<void*>(typed);                                                 \
        } else {                                                                                   \
            return nullptr;                                                                        \
        }                                                                                          \
    }
#define PRO_FUNCTION_TEXTDIR PRO_FUNCTION
#define PRO_FUNCTION_RESDIR PRO_FUNCTION
#define PRO_RUNTIME_FUNCTION(ret, name, params, args)
#include "ProFunctions.def"
#undef PRO_FUNCTION

const std::vector<Entry>& table() {
#define PRO_FUNCTION(ret, name, params, args) Entry{#name, pick_##name<HostFunctions>()},
    static const std::vector<Entry> entries = {
#include "ProFunctions.def"
    };
#undef PRO_FUNCTION
    return entries;
}
#undef PRO_FUNCTION_TEXTDIR
#undef PRO_FUNCTION_RESDIR
#undef PRO_RUNTIME_FUNCTION

} // namespace

void* resolve(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (const Entry& e : table()) {
        if (std::strcmp(e.name, name) == 0) {
            return e.function;
        }
    }
    return nullptr;
}

std::vector<std::pair<std::string, bool>> hostFunctionTable() {
    std::vector<std::pair<std::string, bool>> result;
    for (const Entry& e : table()) {
        result.emplace_back(e.name, e.function != nullptr);
    }
    return result;
}

} // namespace Hostsim
