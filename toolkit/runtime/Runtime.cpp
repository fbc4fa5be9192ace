// The runtime's link to the host: the kept start-up record, the resolved function table and the
// forwarding stubs generated from the function list.
#include "ProToolkitRuntime.h"

#include <string>

namespace {

struct HostTable {
#define PRO_FUNCTION(ret, name, params, args) ProHostFunction::name* name = nullptr;
#define PRO_FUNCTION_TEXTDIR PRO_FUNCTION
#define PRO_FUNCTION_RESDIR PRO_FUNCTION
#define PRO_RUNTIME_FUNCTION(ret, name, params, args)
#include "ProFunctions.def"
#undef PRO_FUNCTION
#undef PRO_FUNCTION_TEXTDIR
#undef PRO_FUNCTION_RESDIR
#undef PRO_RUNTIME_FUNCTION
};

struct RuntimeState {
    bool attached = false;
    ProToolkitStartup startup{};
    std::wstring textRoot;
    std::wstring textDirectory;
    std::wstring resourceDirectory;
    HostTable table;
};

RuntimeState& runtimeState() {
    static RuntimeState s;
    return s;
}

// The text root joined with further folders, separated by backslashes; a trailing separator of
// the root is not doubled.
std::wstring joinWithBackslashes(std::wstring root, std::initializer_list<const wchar_t*> parts) {
    for (const wchar_t* part : parts) {
        if (!root.empty() && root.back() != L'\\' && root.back() != L'/') {
            root += L'\\';
        }
        root += part;
    }
    return root;
}

} // namespace

namespace ProToolkitRuntime {

ProErrors attach(const ProToolkitStartup& startup) {
    if (startup.resolve == nullptr || startup.textRoot == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    RuntimeState& s = runtimeState();
    s = RuntimeState{};
    s.startup = startup;
    s.textRoot = startup.textRoot;
    s.startup.textRoot = s.textRoot.c_str();
    s.textDirectory = joinWithBackslashes(s.textRoot, {L"text"});
#define PRO_FUNCTION(ret, name, params, args)                                                      \
    s.table.name = reinterpret_cast<ProHostFunction::name*>(startup.resolve(#name));
#define PRO_FUNCTION_TEXTDIR PRO_FUNCTION
#define PRO_FUNCTION_RESDIR PRO_FUNCTION
#define PRO_RUNTIME_FUNCTION(ret, name, params, args)
#include "ProFunctions.def"
#undef PRO_FUNCTION
#undef PRO_FUNCTION_TEXTDIR
#undef PRO_FUNCTION_RESDIR
#undef PRO_RUNTIME_FUNCTION
    s.attached = true;
    return PRO_TK_NO_ERROR;
}

void detach() {
    runtimeState() = RuntimeState{};
}

bool attached() {
    return runtimeState().attached;
}

void* context() {
    return runtimeState().startup.context;
}

const std::wstring& textDirectory() {
    return runtimeState().textDirectory;
}

const std::wstring& resourceDirectory() {
    return runtimeState().resourceDirectory;
}

} // namespace ProToolkitRuntime

// Forwarding stubs: a function the host lacks does nothing and answers PRO_TK_COMM_ERROR.
#define PRO_TK_PREPEND_TEXTDIR(...) (runtimeState().textDirectory.c_str(), __VA_ARGS__)
#define PRO_TK_PREPEND_RESDIR(...) (runtimeState().resourceDirectory.c_str(), __VA_ARGS__)
#define PRO_FUNCTION(ret, name, params, args)                                                      \
    ret name params {                                                                              \
        ProHostFunction::name* function = runtimeState().table.name;                               \
        if (function == nullptr) {                                                                 \
            return PRO_TK_COMM_ERROR;                                                              \
        }                                                                                          \
        return function args;                                                                      \
    }
#define PRO_FUNCTION_TEXTDIR(ret, name, params, args)                                              \
    ret name params {                                                                              \
        ProHostFunction::name* function = runtimeState().table.name;                               \
        if (function == nullptr) {                                                                 \
            return PRO_TK_COMM_ERROR;                                                              \
        }                                                                                          \
        return function PRO_TK_PREPEND_TEXTDIR args;                                               \
    }
#define PRO_FUNCTION_RESDIR(ret, name, params, args)                                               \
    ret name params {                                                                              \
        ProHostFunction::name* function = runtimeState().table.name;                               \
        if (function == nullptr) {                                                                 \
            return PRO_TK_COMM_ERROR;                                                              \
        }                                                                                          \
        return function PRO_TK_PREPEND_RESDIR args;                                                \
    }
#define PRO_RUNTIME_FUNCTION(ret, name, params, args)
#include "ProFunctions.def"
#undef PRO_FUNCTION
#undef PRO_FUNCTION_TEXTDIR
#undef PRO_FUNCTION_RESDIR
#undef PRO_RUNTIME_FUNCTION

ProErrors ProReleaseNumberGet(int* release) {
    if (release == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (!runtimeState().attached) {
        return PRO_TK_COMM_ERROR;
    }
    // Releases before 29 cannot report their number.
    if (runtimeState().startup.releaseNumber < 29) {
        return PRO_TK_GENERAL_ERROR;
    }
    *release = runtimeState().startup.releaseNumber;
    return PRO_TK_NO_ERROR;
}

ProErrors ProResourcePathInit(void) {
    RuntimeState& s = runtimeState();
    if (!s.attached) {
        return PRO_TK_COMM_ERROR;
    }
    std::wstring directory = joinWithBackslashes(s.textRoot, {L"text", L"resource"});
    ProErrors status = ProUIResourcepathStore(directory.c_str());
    if (status == PRO_TK_NO_ERROR) {
        s.resourceDirectory = std::move(directory);
    }
    return status;
}
