// The run of hostsim: options, scene, session script, working directory, registry, the module's
// start-up, the session, what the user was shown, the files written and the exit status.
#include "Program.h"

#include "Defaults.h"
#include "HostSession.h"
#include "InstallPath.h"
#include "LoadedModule.h"
#include "MessageFile.h"
#include "Options.h"
#include "PathText.h"
#include "SceneLoader.h"
#include "WorkingDirectory.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <set>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include "RegistryStore.h"

#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace Hostsim {

namespace {

using InitializeEntry = int (*)(const ProToolkitStartup*);
using TerminateEntry = void (*)();

#if defined(_WIN32)
const char* const kModuleFile = "TarveloGateway.dll";
#else
const char* const kModuleFile = "libTarveloGateway.so";
#endif

// The plug-in's message file in the text root's "text" folder.
const char* const kMessageFile = "TarveloMessages.txt";

// The messages of the plug-in that end an export on a failure.
const char* const kFailureKeys[] = {"CreoImportError", "ExportTvlFailed", "TarveloOpenFailed",
                                    "DeleteTvlFailed"};

fs::path programDirectory(const std::string& argv0) {
#if defined(_WIN32)
    (void)argv0;
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return fs::path(buffer).parent_path();
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::absolute(pathFromUtf8(argv0), ec).parent_path() : self.parent_path();
#endif
}

// Where an installed hostsim finds the module and the text root, relative to its own folder
// (cmake/Install.cmake gives the layout). The build tree has the module in its plugin folder
// and the repository's resources linked as its folder "resources".
#if !defined(HOSTSIM_MODULE_DIR_FROM_PROGRAM) || !defined(HOSTSIM_TEXT_ROOT_FROM_PROGRAM)
#error "the install layout (cmake/Install.cmake) defines where hostsim finds its files"
#endif

// The module beside hostsim, else where it is installed, else in the build's plugin folder.
fs::path defaultModule(const std::string& argv0) {
    fs::path dir = programDirectory(argv0);
    for (const fs::path& candidate :
         {dir / kModuleFile,
          (dir / pathFromUtf8(HOSTSIM_MODULE_DIR_FROM_PROGRAM) / kModuleFile).lexically_normal(),
          dir.parent_path() / "plugin" / kModuleFile}) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return dir / kModuleFile;
}

// The installed text root, else the build's; when neither is there, the installed one, which
// then is refused as no folder.
fs::path defaultTextRoot(const std::string& argv0) {
    fs::path dir = programDirectory(argv0);
    const fs::path installed =
        (dir / pathFromUtf8(HOSTSIM_TEXT_ROOT_FROM_PROGRAM)).lexically_normal();
    for (const fs::path& candidate : {installed, dir.parent_path() / "resources"}) {
        std::error_code ec;
        if (fs::is_directory(candidate, ec)) {
            return candidate;
        }
    }
    return installed;
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

fs::path fullPath(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    return ec ? path : full;
}

// Removes a folder only while it is empty; false when it is not, or is gone, or is no folder.
bool removeEmptyFolder(const fs::path& dir) {
#if defined(_WIN32)
    return RemoveDirectoryW(dir.c_str()) != 0;
#else
    return ::rmdir(dir.c_str()) == 0;
#endif
}

// The folders this run made for its working directory: unless kept, they go again at the end,
// the deepest first and each only while empty (whatever was put in one keeps it and those above).
class MadeFolders {
public:
    MadeFolders() = default;
    MadeFolders(MadeFolders&& other) noexcept : made_(std::exchange(other.made_, {})) {}
    MadeFolders& operator=(MadeFolders&&) = delete;
    ~MadeFolders() {
        for (auto it = made_.rbegin(); it != made_.rend() && removeEmptyFolder(*it); ++it) {
        }
    }

    void add(const fs::path& dir) { made_.push_back(dir); }
    void keep() { made_.clear(); }

private:
    std::vector<fs::path> made_;
};

// A folder the run uses, made when missing; each folder this makes is added to `made`. An error
// says why it cannot be.
std::optional<std::string> makeFolder(const fs::path& dir, MadeFolders& made) {
    // Level by level, to know which folders were not there before; at the first level that
    // cannot be made, the rest is made as a whole, which says why.
    fs::path partial = dir.root_path();
    for (const fs::path& part : dir.relative_path()) {
        partial /= part;
        std::error_code ec;
        if (fs::create_directory(partial, ec)) {
            made.add(partial);
        } else if (ec) {
            break;
        }
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!ec && !fs::is_directory(dir, ec)) {
        return std::string("it is no folder");
    }
    return ec ? std::optional<std::string>(ec.message()) : std::nullopt;
}

// The names in a folder (none when it cannot be listed).
std::set<fs::path> entries(const fs::path& dir) {
    std::set<fs::path> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        names.insert(it->path().filename());
    }
    return names;
}

#if !defined(_WIN32)
// Removes a folder of this run's own when the run ends, unless it is kept.
class RemovedAtEnd {
public:
    RemovedAtEnd() = default;
    RemovedAtEnd(RemovedAtEnd&& other) noexcept : dir_(std::exchange(other.dir_, fs::path())) {}
    RemovedAtEnd& operator=(RemovedAtEnd&&) = delete;
    ~RemovedAtEnd() {
        if (!dir_.empty()) {
            std::error_code ignored;
            fs::remove_all(dir_, ignored);
        }
    }

    // The run made `dir`: it goes at the end unless kept.
    void own(const fs::path& dir) { dir_ = dir; }
    void keep() { dir_.clear(); }
    bool empty() const { return dir_.empty(); }

private:
    fs::path dir_;
};

// Why the store's folder cannot be used.
std::string storeProblem(Platform::StoreStatus status) {
    using Platform::StoreStatus;
    switch (status) {
    case StoreStatus::Ok:
        return "no problem";
    case StoreStatus::Missing:
        return "a folder on its way is missing";
    case StoreStatus::Denied:
        return "access is denied";
    case StoreStatus::Unsafe:
        return "it belongs to another user";
    case StoreStatus::NoLocation:
        return "its full path cannot be found";
    case StoreStatus::Unreadable:
        return "it or a folder on its way is no folder, or cannot be read";
    case StoreStatus::WriteFailed:
        return "it cannot be made private or flushed to disk";
    case StoreStatus::TooLarge:
    case StoreStatus::LockTimeout:
        break;
    }
    return "the store answered " + std::to_string(static_cast<int>(status));
}

// The registry store the platform layer uses during the run; the previous setting comes back.
class RegistryLocation {
public:
    explicit RegistryLocation(const fs::path& dir) {
        if (const char* old = std::getenv("TARVELO_REGISTRY_DIR")) {
            previous_ = old;
        }
        ::setenv("TARVELO_REGISTRY_DIR", dir.c_str(), 1);
    }
    RegistryLocation(RegistryLocation&& other) noexcept
        : previous_(std::move(other.previous_)), active_(std::exchange(other.active_, false)) {}
    RegistryLocation& operator=(RegistryLocation&&) = delete;
    ~RegistryLocation() {
        if (!active_) {
            return;
        }
        if (previous_) {
            ::setenv("TARVELO_REGISTRY_DIR", previous_->c_str(), 1);
        } else {
            ::unsetenv("TARVELO_REGISTRY_DIR");
        }
    }

private:
    std::optional<std::string> previous_;
    bool active_ = true;
};

// The registry the run uses: its folder, named to the platform layer until the run ends, then
// removed when it is a fresh one of this run.
struct RegistryStore {
    fs::path dir;
    RemovedAtEnd temporary;
    RegistryLocation location;
};
#else
// On Windows the run uses the system's registry.
struct RegistryStore {};
#endif

// How the session went, after the module has ended. Everything that went wrong is listed; the
// status is the first that applies of a bad state, a failed export, a session not run as
// written.
ExitStatus outcome(Session& session, std::ostream& err) {
    ExitStatus status = ExitStatus::Success;
    auto settle = [&status](ExitStatus found) {
        if (status == ExitStatus::Success) {
            status = found;
        }
    };
    if (!session.ledger().empty() || !session.ledger().violations().empty()) {
        err << "hostsim: the plug-in left the host in a bad state:\n" << session.ledger().report();
        settle(ExitStatus::PluginFault);
    }
    std::vector<std::string> failures;
    for (const char* key : kFailureKeys) {
        if (session.transcript().shows(key)) {
            failures.push_back(key);
        }
    }
    if (!failures.empty()) {
        err << "hostsim: an export failed:";
        for (const std::string& key : failures) {
            err << " \"" << key << "\"";
        }
        err << '\n';
        settle(ExitStatus::ExportFailed);
    }
    const std::vector<std::string>& problems = session.ui().problems();
    if (!problems.empty()) {
        err << "hostsim: the session did not run as written:\n";
        for (const std::string& p : problems) {
            err << "  " << p << '\n';
        }
        settle(ExitStatus::SessionNotRun);
    }
    return status;
}

// The message file the plug-in reads from the text root: missing or broken, its start-up could
// only fail with a bare status.
std::optional<std::string> messageFileProblem(const fs::path& textRoot) {
    try {
        (void)MessageFile::load(textRoot / "text" / kMessageFile);
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

// What a step of the run hands the next one, or the exit status that ends the run.
template <typename T> class Step {
public:
    Step(T value) : value_(std::move(value)) {}
    Step(ExitStatus ending) : ending_(ending) {}

    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    T* operator->() { return &*value_; }
    ExitStatus ending() const { return ending_; }

private:
    std::optional<T> value_;
    ExitStatus ending_ = ExitStatus::Success;
};

// The exit status that ends the run, when a step that hands nothing on ends it.
using Ending = std::optional<ExitStatus>;

// The options after the program name; --help and a bad command line end the run.
Step<Options> readCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                              std::ostream& err) {
    ParsedArguments parsed = parseArguments(
        std::vector<std::string>(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()),
        out, err);
    if (!parsed.options) {
        return parsed.status;
    }
    return std::move(*parsed.options);
}

// The text root, given or the default, handed to the session once it is a folder; its message
// file must be usable.
Step<fs::path> setTextRoot(Session& session, const Options& o, const std::string& argv0,
                           std::ostream& err) {
    const fs::path textRoot =
        o.textRoot.empty() ? defaultTextRoot(argv0) : fullPath(pathFromUtf8(o.textRoot));
    std::error_code ec;
    if (!fs::is_directory(textRoot, ec)) {
        err << "hostsim: the text root " << utf8Path(textRoot) << " is no folder"
            << (ec ? ": " + ec.message() : std::string()) << '\n';
        return ExitStatus::BadTextRoot;
    }
    session.textRoot = widePath(textRoot);
    if (std::optional<std::string> why = messageFileProblem(hostPath(session.textRoot))) {
        err << "hostsim: the text root " << utf8Path(hostPath(session.textRoot))
            << " holds no usable message file: " << *why << '\n';
        return ExitStatus::BadTextRoot;
    }
    return textRoot;
}

// The module to load, given or the default; only a regular file is tried.
Step<fs::path> findModule(const Options& o, const std::string& argv0, std::ostream& err) {
    const fs::path module =
        o.module.empty() ? defaultModule(argv0) : fullPath(pathFromUtf8(o.module));
    std::error_code ec;
    fs::file_status status = fs::status(module, ec);
    if (ec || status.type() != fs::file_type::regular) {
        err << "hostsim: cannot load the module " << utf8Path(module) << ": "
            << (ec ? ec.message() : std::string("it is no regular file")) << '\n';
        return ExitStatus::BadModule;
    }
    return module;
}

// The models of the session, from the given scene or the built-in one.
Ending readScene(Session& session, const Options& o, std::ostream& err) {
    // Empty until the scene names one.
    session.workingDirectory.clear();
    try {
        if (o.scene.empty()) {
            loadSceneText(session, HostsimDefaults::kScene, HostsimDefaults::kSceneName);
        } else {
            loadScene(session, pathFromUtf8(o.scene));
        }
    } catch (const SceneError& e) {
        err << "hostsim: " << e.what() << '\n';
        return ExitStatus::BadScene;
    }
    return std::nullopt;
}

// What the user does, from the given session script or the built-in one; a script without
// events is refused.
Ending readSessionScript(Session& session, const Options& o, std::ostream& err) {
    try {
        std::vector<UiEvent> events =
            o.session.empty()
                ? parseSessionScript(HostsimDefaults::kSession, HostsimDefaults::kSessionName)
                : loadSessionScript(pathFromUtf8(o.session));
        if (events.empty()) {
            throw ScriptError(utf8Path(fullPath(pathFromUtf8(o.session))) +
                              ": the session script holds no events (e.g. \"invoke Tarvelo "
                              "Gateway\")");
        }
        session.ui().addEvents(events);
    } catch (const ScriptError& e) {
        err << "hostsim: " << e.what() << '\n';
        return ExitStatus::BadSession;
    }
    return std::nullopt;
}

// The working directory, and the folders this run made for it: they go again when the run ends
// before the module has run.
struct WorkFolder {
    fs::path path;
    MadeFolders made;
};

// Where the exchange file goes: --workdir (from the current folder), else the scene's (from
// the scene's folder), else a fresh folder. Whichever it is, the plug-in must be handed that
// very folder, and it must exist.
Step<WorkFolder> setWorkingDirectory(Session& session, const Options& o, std::ostream& err) {
    fs::path workingDirectory;
    MadeFolders made;
    if (!o.workdir.empty()) {
        workingDirectory = fullPath(pathFromUtf8(o.workdir));
    } else if (!session.workingDirectory.empty()) {
        // The scene's text came from UTF-8, so it converts back exactly.
        std::error_code ec;
        const fs::path sceneFolder =
            o.scene.empty() ? fs::current_path(ec) : fullPath(pathFromUtf8(o.scene)).parent_path();
        workingDirectory = sceneFolder / pathFromUtf8(toUtf8(session.workingDirectory));
    } else {
        try {
            workingDirectory = freshDirectory("work");
        } catch (const fs::filesystem_error& e) {
            err << "hostsim: no fresh working directory: " << e.what() << '\n';
            return ExitStatus::SetupFailed;
        }
        made.add(workingDirectory);
    }
    // With the system's own separators, as a host reports its folder (a change on Windows only).
    workingDirectory.make_preferred();
    if (std::optional<std::string> why = unreportableDirectory(workingDirectory)) {
        err << "hostsim: the working directory " << utf8Path(workingDirectory)
            << " cannot be handed to the plug-in: " << *why << '\n';
        return ExitStatus::SetupFailed;
    }
    if (std::optional<std::string> why = makeFolder(workingDirectory, made)) {
        err << "hostsim: the working directory " << utf8Path(workingDirectory)
            << " cannot be made: " << *why << '\n';
        return ExitStatus::SetupFailed;
    }
    session.workingDirectory = widePath(workingDirectory);
    return WorkFolder{workingDirectory, std::move(made)};
}

// Off Windows, the registry's file store: the named folder, made private when missing, else a
// fresh one of this run's own.
Step<RegistryStore> setUpRegistry([[maybe_unused]] const Options& o,
                                  [[maybe_unused]] std::ostream& err) {
#if defined(_WIN32)
    return RegistryStore{};
#else
    fs::path registryDir;
    RemovedAtEnd temporary;
    if (o.registry.empty()) {
        try {
            registryDir = freshDirectory("registry");
            temporary.own(registryDir);
            // The process's mask may have taken the owner's own bits away; the store makes a
            // folder private but keeps the owner's bits as they are.
            fs::permissions(registryDir, fs::perms::owner_all, fs::perm_options::replace);
        } catch (const fs::filesystem_error& e) {
            err << "hostsim: no fresh registry store: " << e.what() << '\n';
            return ExitStatus::SetupFailed;
        }
    } else {
        registryDir = fullPath(pathFromUtf8(o.registry));
    }
    // Made and checked by the store itself, so that a folder it would refuse ends the run here.
    RegistryLocation location(registryDir);
    if (Platform::StoreStatus status = Platform::makeStoreFolder();
        status != Platform::StoreStatus::Ok) {
        err << "hostsim: the registry store " << utf8Path(registryDir)
            << " cannot be made: " << storeProblem(status) << '\n';
        return ExitStatus::SetupFailed;
    }
    return RegistryStore{registryDir, std::move(temporary), std::move(location)};
#endif
}

// --tarvelo-dir: the application's install path in the run's registry, as its installer writes
// it.
Ending writeInstallPath(const Options& o, std::ostream& err) {
    if (o.tarveloDir.empty()) {
        return std::nullopt;
    }
    std::string why;
    fs::path dir = fullPath(pathFromUtf8(o.tarveloDir));
    if (!writeTarveloPath(widePath(dir), why)) {
        err << "hostsim: --tarvelo-dir: \"Path\" under \"SOFTWARE\\Korvane\\Tarvelo\": " << why
            << '\n';
        return ExitStatus::SetupFailed;
    }
    return std::nullopt;
}

// What the run was set up with, before the module starts.
void showSetUp(std::ostream& out, const Options& o, const fs::path& module,
               const fs::path& textRoot, const fs::path& workingDirectory,
               [[maybe_unused]] const RegistryStore& registry) {
    out << "module " << utf8Path(module) << '\n';
    out << "text root " << utf8Path(textRoot) << '\n';
    out << "scene " << (o.scene.empty() ? HostsimDefaults::kSceneName : o.scene) << '\n';
    out << "session " << (o.session.empty() ? HostsimDefaults::kSessionName : o.session) << '\n';
    out << "working directory " << utf8Path(workingDirectory) << '\n';
#if !defined(_WIN32)
    out << "registry " << utf8Path(registry.dir)
        << (registry.temporary.empty() ? "" : " (temporary)") << '\n';
#endif
    if (!o.tarveloDir.empty()) {
        out << "Tarvelo installed in " << utf8Path(fullPath(pathFromUtf8(o.tarveloDir))) << '\n';
    }
}

// The two entries the host calls in a toolkit module.
struct ToolkitEntries {
    InitializeEntry initialize;
    TerminateEntry terminate;
};

Step<ToolkitEntries> findEntries(const LoadedModule& loaded, const fs::path& module,
                                 std::ostream& err) {
    if (!loaded.loaded()) {
        err << "hostsim: cannot load the module " << utf8Path(module) << ": " << loaded.error()
            << '\n';
        return ExitStatus::BadModule;
    }
    auto initialize = reinterpret_cast<InitializeEntry>(loaded.symbol("user_initialize_plus"));
    auto terminate = reinterpret_cast<TerminateEntry>(loaded.symbol("user_terminate_plus"));
    if (initialize == nullptr || terminate == nullptr) {
        err << "hostsim: " << utf8Path(module)
            << " is no toolkit module (user_initialize_plus or user_terminate_plus missing)\n";
        return ExitStatus::BadModule;
    }
    return ToolkitEntries{initialize, terminate};
}

// The module's start-up, and the commands it added; a failed start-up still ends the module.
Ending startModule(Session& session, const ToolkitEntries& entries, const fs::path& module,
                   std::ostream& out, std::ostream& err) {
    ProToolkitStartup startup = session.startup();
    int status = entries.initialize(&startup);
    if (status != 0) {
        err << "hostsim: the start-up of " << utf8Path(module) << " returned status " << status
            << '\n';
        entries.terminate();
        return ExitStatus::StartupFailed;
    }
    out << "started " << utf8Path(module) << '\n';
    for (const Command& c : session.commands()) {
        out << "command \"" << c.name << "\"";
        if (c.designated) {
            out << " label \"" << c.label << "\" (" << c.labelKey << ") help \"" << c.help
                << "\" description \"" << c.description << "\"";
        } else {
            out << " not designated";
        }
        out << (c.icon.empty() ? std::string(" no icon") : " icon \"" + c.icon + "\"") << '\n';
    }
    return std::nullopt;
}

// The module loaded, started, driven by the session script and ended; unloaded before the run
// is reported.
Ending runModule(Session& session, const fs::path& module, std::ostream& out, std::ostream& err) {
    LoadedModule loaded(module);
    Step<ToolkitEntries> entries = findEntries(loaded, module, err);
    if (!entries) {
        return entries.ending();
    }
    if (Ending end = startModule(session, *entries, module, out, err)) {
        return end;
    }
    runSessionScript(session);
    entries->terminate();
    return std::nullopt;
}

// What the user did and was shown, the exchange files of this run (names that were not in the
// folder before it) and the exit status.
ExitStatus report(Session& session, const fs::path& workingDirectory,
                  const std::set<fs::path>& before, std::ostream& out, std::ostream& err) {
    out << "--- what the user did\n" << session.ui().renderLog();
    out << "--- what the user was shown\n" << session.transcript().render();
    for (const fs::path& name : entries(workingDirectory)) {
        if (before.count(name) == 0 && name.extension() == ".tvl") {
            out << "exchange file: " << utf8Path(workingDirectory / name) << '\n';
        }
    }
    out.flush();
    return outcome(session, err);
}

} // namespace

ExitStatus runHostsim(const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err, const std::function<void(Session&)>& beforeStart) {
    const std::string argv0 = arguments.empty() ? std::string("hostsim") : arguments.front();
    Step<Options> options = readCommandLine(arguments, out, err);
    if (!options) {
        return options.ending();
    }
    Session session;
    Step<fs::path> textRoot = setTextRoot(session, *options, argv0, err);
    if (!textRoot) {
        return textRoot.ending();
    }
    Step<fs::path> module = findModule(*options, argv0, err);
    if (!module) {
        return module.ending();
    }
    if (Ending end = readScene(session, *options, err)) {
        return *end;
    }
    if (Ending end = readSessionScript(session, *options, err)) {
        return *end;
    }
    // Until the module has run, an ending takes away the folders made for the working directory.
    Step<WorkFolder> workFolder = setWorkingDirectory(session, *options, err);
    if (!workFolder) {
        return workFolder.ending();
    }
    const fs::path& workingDirectory = workFolder->path;
    Step<RegistryStore> registry = setUpRegistry(*options, err);
    if (!registry) {
        return registry.ending();
    }
    if (Ending end = writeInstallPath(*options, err)) {
        return *end;
    }
    showSetUp(out, *options, *module, *textRoot, workingDirectory, *registry);
    if (beforeStart) {
        beforeStart(session);
    }
    const std::set<fs::path> before = entries(workingDirectory);
    if (Ending end = runModule(session, *module, out, err)) {
        return *end;
    }
    workFolder->made.keep();
    return report(session, workingDirectory, before, out, err);
}

} // namespace Hostsim
