// The entries the host calls when it loads and unloads the module.
#include "ProToolkitRuntime.h"

extern "C" PRO_TK_EXPORT int user_initialize_plus(const ProToolkitStartup* startup) {
    if (startup == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    ProErrors status = ProToolkitRuntime::attach(*startup);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    static char empty[] = "";
    static char* noArguments[] = {nullptr};
    wchar_t errorText[80] = {};
    char* version = startup->version != nullptr ? const_cast<char*>(startup->version) : empty;
    char* build = startup->build != nullptr ? const_cast<char*>(startup->build) : empty;
    char** argv = startup->argv != nullptr ? startup->argv : noArguments;
    return user_initialize(startup->argv != nullptr ? startup->argc : 0, argv, version, build,
                           errorText);
}

extern "C" PRO_TK_EXPORT void user_terminate_plus(void) {
    if (ProToolkitRuntime::attached()) {
        user_terminate();
    }
    ProToolkitRuntime::detach();
}
