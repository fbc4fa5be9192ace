// hostsim: the stand-in host as a program. Loads a plug-in module, starts it as the host would
// and lists the commands it registered.
//
//   hostsim <module> [--text-root <folder>] [--scene <scene.json>]
//
// Exit status: 0 after a start-up that returned 0; 1 for a bad command line; 2 when the module
// cannot be loaded; 3 when it lacks user_initialize_plus; 4 when the start-up returned a
// non-zero status; 5 for a scene that cannot be loaded.
#include "HostSession.h"
#include "SceneLoader.h"

#include <cstdio>
#include <iostream>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using InitializeEntry = int (*)(const ProToolkitStartup*);
using TerminateEntry = void (*)();

class Module {
public:
    explicit Module(const std::string& path) {
#if defined(_WIN32)
        handle_ = LoadLibraryW(Hostsim::fromUtf8(path).c_str());
        if (handle_ == nullptr) {
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
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    ~Module() {
        if (handle_ != nullptr) {
#if defined(_WIN32)
            FreeLibrary(static_cast<HMODULE>(handle_));
#else
            dlclose(handle_);
#endif
        }
    }
    bool loaded() const {
        return handle_ != nullptr;
    }
    const std::string& error() const {
        return error_;
    }
    void* symbol(const char* name) const {
#if defined(_WIN32)
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
        return dlsym(handle_, name);
#endif
    }

private:
#if defined(_WIN32)
    HMODULE handle_ = nullptr;
#else
    void* handle_ = nullptr;
#endif
    std::string error_;
};

int usage() {
    std::cerr << "usage: hostsim <module> [--text-root <folder>] [--scene <scene.json>]\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string modulePath, textRoot, scene;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--text-root" || arg == "--scene") && i + 1 < argc) {
            (arg == "--text-root" ? textRoot : scene) = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && modulePath.empty()) {
            modulePath = arg;
        } else {
            return usage();
        }
    }
    if (modulePath.empty()) {
        return usage();
    }

    Hostsim::Session session;
    if (!textRoot.empty()) {
        session.textRoot = Hostsim::fromUtf8(textRoot);
    }
    if (!scene.empty()) {
        try {
            Hostsim::loadScene(session, scene);
        } catch (const std::exception& e) {
            std::cerr << "hostsim: " << e.what() << '\n';
            return 5;
        }
    }

    Module module(modulePath);
    if (!module.loaded()) {
        std::cerr << "hostsim: cannot load " << modulePath << ": " << module.error() << '\n';
        return 2;
    }
    auto initialize = reinterpret_cast<InitializeEntry>(module.symbol("user_initialize_plus"));
    auto terminate = reinterpret_cast<TerminateEntry>(module.symbol("user_terminate_plus"));
    if (initialize == nullptr || terminate == nullptr) {
        std::cerr
            << "hostsim: " << modulePath
            << " is no toolkit module (user_initialize_plus or user_terminate_plus missing)\n";
        return 3;
    }

    ProToolkitStartup startup = session.startup();
    int status = initialize(&startup);
    if (status != 0) {
        std::cerr << "hostsim: the start-up of " << modulePath << " returned status " << status
                  << '\n';
        terminate();
        return 4;
    }
    std::cout << "started " << modulePath << '\n';
    for (const Hostsim::Command& c : session.commands()) {
        std::cout << "command \"" << c.name << "\"";
        if (c.designated) {
            std::cout << " label \"" << c.label << "\" (" << c.labelKey << ") help \"" << c.help
                      << "\" description \"" << c.description << "\"";
        } else {
            std::cout << " not designated";
        }
        std::cout << (c.icon.empty() ? std::string(" no icon") : " icon \"" + c.icon + "\"")
                  << '\n';
    }
    terminate();
    return 0;
}
