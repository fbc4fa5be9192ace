// Loading a module with the platform's dynamic loader.
#include "LoadedModule.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace Hostsim {

LoadedModule::LoadedModule(const std::filesystem::path& path) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryW(path.c_str());
    handle_ = reinterpret_cast<void*>(module);
    if (module == nullptr) {
        error_ = "Windows error " + std::to_string(GetLastError());
    }
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* e = dlerror();
        error_ = e != nullptr ? e : "unknown error";
    }
#endif
}

LoadedModule::~LoadedModule() {
    if (handle_ != nullptr) {
#if defined(_WIN32)
        FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
        dlclose(handle_);
#endif
    }
}

void* LoadedModule::symbol(const char* name) const {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

} // namespace Hostsim
