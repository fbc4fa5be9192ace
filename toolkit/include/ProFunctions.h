// Declarations of every toolkit function the plug-in calls, generated from ProFunctions.def,
// and the host-side function types that the runtime forwards to. Every declaration is
// [[nodiscard]]: a status, or a conversion's output that is null on failure, is examined or
// visibly discarded with the reason why.
#pragma once

#include "ProToolkit.h"

// Host functions of the *_TEXTDIR and *_RESDIR kinds take the application's directory first.
#define PRO_TK_PREPEND_DIR(...) (const wchar_t* appDirectory, __VA_ARGS__)

#define PRO_FUNCTION(ret, name, params, args) [[nodiscard]] ret name params;
#define PRO_FUNCTION_TEXTDIR PRO_FUNCTION
#define PRO_FUNCTION_RESDIR PRO_FUNCTION
#define PRO_RUNTIME_FUNCTION PRO_FUNCTION
#include "ProFunctions.def"
#undef PRO_FUNCTION
#undef PRO_FUNCTION_TEXTDIR
#undef PRO_FUNCTION_RESDIR
#undef PRO_RUNTIME_FUNCTION

// The function type each host function has (the runtime resolves a pointer to it by name).
namespace ProHostFunction {
#define PRO_FUNCTION(ret, name, params, args) using name = ret params;
#define PRO_FUNCTION_TEXTDIR(ret, name, params, args) using name = ret PRO_TK_PREPEND_DIR params;
#define PRO_FUNCTION_RESDIR PRO_FUNCTION_TEXTDIR
#define PRO_RUNTIME_FUNCTION(ret, name, params, args)
#include "ProFunctions.def"
#undef PRO_FUNCTION
#undef PRO_FUNCTION_TEXTDIR
#undef PRO_FUNCTION_RESDIR
#undef PRO_RUNTIME_FUNCTION
} // namespace ProHostFunction
