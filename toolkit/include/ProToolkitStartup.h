// The record a host hands to the module's user_initialize_plus.
#pragma once

// Looks a host function up by its toolkit name; null when the host does not provide it.
typedef void* (*ProToolkitResolver)(const char* name);

// What the host passes to user_initialize_plus. Only textRoot and resolve are required.
struct ProToolkitStartup {
    const wchar_t* textRoot; // application root; messages live in <root>\text
    int releaseNumber;       // the host's release
    ProToolkitResolver resolve;
    void* context; // the host's own, kept for ProToolkitRuntime::context()
    int argc;      // handed on to user_initialize (argv may be null when argc is 0)
    char** argv;
    const char* version; // may be null (then "")
    const char* build;   // may be null (then "")
};
