// The sanitize build's hostsim runs clean with no environment at all: the runtimes ask the
// program for its defaults, so the leak suppressions (cmake/lsan-suppressions.txt, compiled in
// at build time) and the options they need are its own. Variables such as LSAN_OPTIONS still add
// to them or override them. Only the sanitize build compiles this file.

namespace {

// The registrations OpenCASCADE keeps for the whole process.
const char kLeakSuppressions[] =
#include "LeakSuppressions.inc"
    ;

} // namespace

extern "C" {

__attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return kLeakSuppressions;
}

// The suppressions name OpenCASCADE functions, which is built without frame pointers: only the
// slow unwinder gives stacks whole enough to match them.
__attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "detect_leaks=1:fast_unwind_on_malloc=0";
}

// A suppressed registration is expected, not news: no summary of them at the end.
__attribute__((visibility("default"), used)) const char* __lsan_default_options() {
    return "print_suppressions=0";
}

__attribute__((visibility("default"), used)) const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

} // extern "C"
