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

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
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

// A folder the run uses, made when missing; an error says why it cannot be.
std::optional<std::string> makeFolder(const fs::path& dir) {
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
// The registry store's folder, made when missing. The store refuses folders of another user and
// makes its own private: so is every folder made here (0700), whatever the process's mask.
std::optional<std::string> makePrivateFolder(const fs::path& dir) {
    fs::path partial;
    for (const fs::path& part : dir.lexically_normal()) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) == 0) {
            if (::chmod(partial.c_str(), 0700) != 0) {
                return std::error_code(errno, std::generic_category()).message();
            }
        } else if (errno != EEXIST) {
            return std::error_code(errno, std::generic_category()).message();
        }
    }
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        return ec ? ec.message() : std::string("it is no folder");
    }
    return std::nullopt;
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
    RegistryLocation(const RegistryLocation&) = delete;
    RegistryLocation& operator=(const RegistryLocation&) = delete;
    ~RegistryLocation() {
        if (previous_) {
            ::setenv("TARVELO_REGISTRY_DIR", previous_->c_str(), 1);
        } else {
            ::unsetenv("TARVELO_REGISTRY_DIR");
        }
    }

private:
    std::optional<std::string> previous_;
};
#endif

// Removes a folder of this run's own at the end.
struct RemovedAtEnd {
    fs::path dir;
    ~RemovedAtEnd() {
        if (!dir.empty()) {
            std::error_code ignored;
            fs::remove_all(dir, ignored);
        }
    }
};

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

} // namespace

ExitStatus runHostsim(const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err, const std::function<void(Session&)>& beforeStart) {
    const std::string argv0 = arguments.empty() ? std::string("hostsim") : arguments.front();
    ParsedArguments parsed = parseArguments(
        std::vector<std::string>(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()),
        out, err);
    if (!parsed.options) {
        return parsed.status;
    }
    const Options& o = *parsed.options;

    Session session;
    const fs::path textRoot =
        o.textRoot.empty() ? defaultTextRoot(argv0) : fullPath(pathFromUtf8(o.textRoot));
    {
        std::error_code ec;
        if (!fs::is_directory(textRoot, ec)) {
            err << "hostsim: the text root " << utf8Path(textRoot) << " is no folder"
                << (ec ? ": " + ec.message() : std::string()) << '\n';
            return ExitStatus::BadTextRoot;
        }
        session.textRoot = widePath(textRoot);
    }
    if (std::optional<std::string> why = messageFileProblem(hostPath(session.textRoot))) {
        err << "hostsim: the text root " << utf8Path(hostPath(session.textRoot))
            << " holds no usable message file: " << *why << '\n';
        return ExitStatus::BadTextRoot;
    }

    const fs::path module =
        o.module.empty() ? defaultModule(argv0) : fullPath(pathFromUtf8(o.module));
    {
        std::error_code ec;
        fs::file_status status = fs::status(module, ec);
        if (ec || status.type() != fs::file_type::regular) {
            err << "hostsim: cannot load the module " << utf8Path(module) << ": "
                << (ec ? ec.message() : std::string("it is no regular file")) << '\n';
            return ExitStatus::BadModule;
        }
    }

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

    // Where the exchange file goes: --workdir (from the current folder), else the scene's (from
    // the scene's folder), else a fresh folder. Whichever it is, the plug-in must be handed that
    // very folder, and it must exist.
    fs::path workingDirectory;
    RemovedAtEnd unusedFreshFolder;
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
            workingDirectory = unusedFreshFolder.dir = freshDirectory("work");
        } catch (const fs::filesystem_error& e) {
            err << "hostsim: no fresh working directory: " << e.what() << '\n';
            return ExitStatus::SetupFailed;
        }
    }
    // With the system's own separators, as a host reports its folder (a change on Windows only).
    workingDirectory.make_preferred();
    if (std::optional<std::string> why = unreportableDirectory(workingDirectory)) {
        err << "hostsim: the working directory " << utf8Path(workingDirectory)
            << " cannot be handed to the plug-in: " << *why << '\n';
        return ExitStatus::SetupFailed;
    }
    if (std::optional<std::string> why = makeFolder(workingDirectory)) {
        err << "hostsim: the working directory " << utf8Path(workingDirectory)
            << " cannot be made: " << *why << '\n';
        return ExitStatus::SetupFailed;
    }
    unusedFreshFolder.dir.clear();
    session.workingDirectory = widePath(workingDirectory);

#if !defined(_WIN32)
    // A registry of this run's own unless one is named.
    RemovedAtEnd temporaryRegistry;
    fs::path registryDir;
    if (o.registry.empty()) {
        try {
            registryDir = temporaryRegistry.dir = freshDirectory("registry");
            // The store refuses a folder that others can write, whatever the process's mask left.
            fs::permissions(registryDir, fs::perms::owner_all, fs::perm_options::replace);
        } catch (const fs::filesystem_error& e) {
            err << "hostsim: no fresh registry store: " << e.what() << '\n';
            return ExitStatus::SetupFailed;
        }
    } else {
        registryDir = fullPath(pathFromUtf8(o.registry));
        if (std::optional<std::string> why = makePrivateFolder(registryDir)) {
            err << "hostsim: the registry store " << utf8Path(registryDir)
                << " cannot be made: " << *why << '\n';
            return ExitStatus::SetupFailed;
        }
    }
    RegistryLocation registryLocation(registryDir);
#endif
    if (!o.tarveloDir.empty()) {
        std::string why;
        fs::path dir = fullPath(pathFromUtf8(o.tarveloDir));
        if (!writeTarveloPath(widePath(dir), why)) {
            err << "hostsim: --tarvelo-dir: \"Path\" under \"SOFTWARE\\Korvane\\Tarvelo\": " << why
                << '\n';
            return ExitStatus::SetupFailed;
        }
    }

    out << "module " << utf8Path(module) << '\n';
    out << "text root " << utf8Path(textRoot) << '\n';
    out << "scene " << (o.scene.empty() ? HostsimDefaults::kSceneName : o.scene) << '\n';
    out << "session " << (o.session.empty() ? HostsimDefaults::kSessionName : o.session) << '\n';
    out << "working directory " << utf8Path(workingDirectory) << '\n';
#if !defined(_WIN32)
    out << "registry " << utf8Path(registryDir)
        << (temporaryRegistry.dir.empty() ? "" : " (temporary)") << '\n';
#endif
    if (!o.tarveloDir.empty()) {
        out << "Tarvelo installed in " << utf8Path(fullPath(pathFromUtf8(o.tarveloDir))) << '\n';
    }
    if (beforeStart) {
        beforeStart(session);
    }

    const std::set<fs::path> before = entries(workingDirectory);
    {
        LoadedModule loaded(module);
        if (!loaded.loaded()) {
            err << "hostsim: cannot load the module " << utf8Path(module) << ": " << loaded.error()
                << '\n';
            return ExitStatus::BadModule;
        }
        auto initialize = reinterpret_cast<InitializeEntry>(loaded.symbol("user_initialize_plus"));
        auto terminate = reinterpret_cast<TerminateEntry>(loaded.symbol("user_terminate_plus"));
        if (initialize == nullptr || terminate == nullptr) {
            err << "hostsim: " << utf8Path(module)
                << " is no toolkit module (user_initialize_plus or user_terminate_plus "
                   "missing)\n";
            return ExitStatus::BadModule;
        }

        ProToolkitStartup startup = session.startup();
        int status = initialize(&startup);
        if (status != 0) {
            err << "hostsim: the start-up of " << utf8Path(module) << " returned status " << status
                << '\n';
            terminate();
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

        runSessionScript(session);
        terminate();
    }

    out << "--- what the user did\n" << session.ui().renderLog();
    out << "--- what the user was shown\n" << session.transcript().render();
    // The exchange files of this run: names that were not in the folder before it.
    for (const fs::path& name : entries(workingDirectory)) {
        if (before.count(name) == 0 && name.extension() == ".tvl") {
            out << "exchange file: " << utf8Path(workingDirectory / name) << '\n';
        }
    }
    out.flush();
    return outcome(session, err);
}

} // namespace Hostsim
