// hostsim: the stand-in host as a program. Loads a plug-in module, starts it as the host would,
// opens a scene, runs a session script (what the user does) and prints what the user was shown.
//
//   hostsim [--module FILE] [--scene FILE] [--session FILE] [--workdir DIR] [--registry DIR]
//           [--text-root DIR]
//   hostsim FILE ...            (the module as the first plain argument)
//
// Without arguments: the module TarveloGateway beside hostsim (or in the build's plugin folder),
// the scene examples/gearbox-assembly.json and the session examples/sessions/export.session
// (both built in), a fresh temporary working directory and, off Windows, a fresh temporary
// registry store. Session scripts and layouts: host/UserInterface.md.
//
// Exit status: 0 after a session that ran; 1 for a bad command line; 2 when the module cannot
// be loaded; 3 when it lacks the toolkit entries; 4 when the start-up returned a non-zero
// status; 5 for a scene or session that cannot be loaded; 6 when the host caught the plug-in at
// a fault (an allocation not released, a refused release, an exception out of a callback).
#include "Defaults.h"
#include "HostSession.h"
#include "MessageFile.h"
#include "SceneLoader.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using InitializeEntry = int (*)(const ProToolkitStartup*);
using TerminateEntry = void (*)();

#if defined(_WIN32)
const char* const kModuleFile = "TarveloGateway.dll";
#else
const char* const kModuleFile = "libTarveloGateway.so";
#endif

class Module {
public:
    explicit Module(const fs::path& path) {
#if defined(_WIN32)
        handle_ = LoadLibraryW(path.wstring().c_str());
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

fs::path programDirectory(const char* argv0) {
#if defined(_WIN32)
    (void)argv0;
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return fs::path(buffer).parent_path();
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::absolute(argv0).parent_path() : self.parent_path();
#endif
}

// The module beside hostsim, else the one in the build's plugin folder.
fs::path defaultModule(const char* argv0) {
    fs::path dir = programDirectory(argv0);
    for (const fs::path& candidate :
         {dir / kModuleFile, dir.parent_path() / "plugin" / kModuleFile}) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return dir / kModuleFile;
}

fs::path freshDirectory(const std::string& label) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (;;) {
        fs::path dir = fs::temp_directory_path() /
                       ("hostsim-" + label + "-" + std::to_string(random() % 1000000000u));
        if (fs::create_directory(dir)) {
            return dir;
        }
    }
}

std::string shown(const fs::path& path) {
    return Hostsim::toUtf8(path.wstring());
}

int usage() {
    std::cerr << "usage: hostsim [--module FILE] [--scene FILE] [--session FILE] [--workdir DIR] "
                 "[--registry DIR] [--text-root DIR]\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string modulePath, textRoot, scene, script, workdir, registry;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string* target = arg == "--module"      ? &modulePath
                              : arg == "--text-root" ? &textRoot
                              : arg == "--scene"     ? &scene
                              : arg == "--session"   ? &script
                              : arg == "--workdir"   ? &workdir
                              : arg == "--registry"  ? &registry
                                                     : nullptr;
        if (target != nullptr && i + 1 < argc && target->empty()) {
            *target = argv[++i];
        } else if (target == nullptr && !arg.empty() && arg[0] != '-' && modulePath.empty()) {
            modulePath = arg;
        } else {
            return usage();
        }
    }
#if !defined(HOSTSIM_FILE_REGISTRY)
    if (!registry.empty()) {
        std::cerr << "hostsim: --registry is for the file store; this build uses the system's "
                     "registry\n";
        return 1;
    }
#endif

    fs::path module = modulePath.empty() ? defaultModule(argv[0]) : fs::path(modulePath);
    Hostsim::Session session;
    if (!textRoot.empty()) {
        session.textRoot = Hostsim::fromUtf8(textRoot);
    }
    const std::wstring workdirBeforeScene = session.workingDirectory;
    try {
        if (scene.empty()) {
            Hostsim::loadSceneText(session, HostsimDefaults::kScene, HostsimDefaults::kSceneName);
        } else {
            Hostsim::loadScene(session, scene);
        }
        session.ui().addEvents(script.empty()
                                   ? Hostsim::parseSessionScript(HostsimDefaults::kSession,
                                                                 HostsimDefaults::kSessionName)
                                   : Hostsim::loadSessionScript(script));
    } catch (const std::exception& e) {
        std::cerr << "hostsim: " << e.what() << '\n';
        return 5;
    }

    // Where the exchange file goes: --workdir, else the scene's, else a fresh folder.
    fs::path workingDirectory;
    try {
        if (!workdir.empty()) {
            workingDirectory = fs::absolute(fs::path(Hostsim::fromUtf8(workdir)));
            fs::create_directories(workingDirectory);
        } else if (session.workingDirectory != workdirBeforeScene) {
            workingDirectory = Hostsim::hostPath(session.workingDirectory);
        } else {
            workingDirectory = freshDirectory("work");
        }
    } catch (const std::exception& e) {
        std::cerr << "hostsim: working directory: " << e.what() << '\n';
        return 1;
    }
    session.workingDirectory = workingDirectory.wstring();

#if defined(HOSTSIM_FILE_REGISTRY)
    // A registry of this run's own unless one is named.
    bool temporaryRegistry = registry.empty();
    fs::path registryDir = temporaryRegistry ? freshDirectory("registry") : fs::path(registry);
    ::setenv("TARVELO_REGISTRY_DIR", registryDir.c_str(), 1);
    struct RemoveRegistry {
        bool active;
        fs::path dir;
        ~RemoveRegistry() {
            if (active) {
                std::error_code ignored;
                fs::remove_all(dir, ignored);
            }
        }
    } removeRegistry{temporaryRegistry, registryDir};
    if (temporaryRegistry) {
        // The store refuses a folder that others can write, whatever the process's mask left.
        std::error_code error;
        fs::permissions(registryDir, fs::perms::owner_all, fs::perm_options::replace, error);
        if (error) {
            std::cerr << "hostsim: registry folder: " << error.message() << '\n';
            return 1;
        }
    }
#endif

    std::cout << "module " << shown(module) << '\n';
    std::cout << "scene " << (scene.empty() ? HostsimDefaults::kSceneName : scene) << '\n';
    std::cout << "session " << (script.empty() ? HostsimDefaults::kSessionName : script) << '\n';
    std::cout << "working directory " << shown(workingDirectory) << '\n';
#if defined(HOSTSIM_FILE_REGISTRY)
    std::cout << "registry " << shown(registryDir) << (temporaryRegistry ? " (temporary)" : "")
              << '\n';
#endif

    int exitStatus = 0;
    {
        Module loaded(module);
        if (!loaded.loaded()) {
            std::cerr << "hostsim: cannot load " << shown(module) << ": " << loaded.error() << '\n';
            return 2;
        }
        auto initialize = reinterpret_cast<InitializeEntry>(loaded.symbol("user_initialize_plus"));
        auto terminate = reinterpret_cast<TerminateEntry>(loaded.symbol("user_terminate_plus"));
        if (initialize == nullptr || terminate == nullptr) {
            std::cerr << "hostsim: " << shown(module)
                      << " is no toolkit module (user_initialize_plus or user_terminate_plus "
                         "missing)\n";
            return 3;
        }

        ProToolkitStartup startup = session.startup();
        int status = initialize(&startup);
        if (status != 0) {
            std::cerr << "hostsim: the start-up of " << shown(module) << " returned status "
                      << status << '\n';
            terminate();
            return 4;
        }
        std::cout << "started " << shown(module) << '\n';
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

        Hostsim::runSessionScript(session);
        terminate();
    }

    std::cout << "--- what the user did\n" << session.ui().renderLog();
    std::cout << "--- what the user was shown\n" << session.transcript().render();
    std::vector<fs::path> written;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(workingDirectory, ec)) {
        if (entry.path().extension() == ".tvl") {
            written.push_back(entry.path());
        }
    }
    std::sort(written.begin(), written.end());
    for (const fs::path& file : written) {
        std::cout << "exchange file: " << shown(file) << '\n';
    }
    if (!session.ledger().empty() || !session.ledger().violations().empty()) {
        std::cerr << "hostsim: the plug-in left the host in a bad state:\n"
                  << session.ledger().report();
        exitStatus = 6;
    }
    return exitStatus;
}
