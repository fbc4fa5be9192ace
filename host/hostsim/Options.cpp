// The command line through CLI11, with the help text that documents every option and exit code.
#include "Options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>

namespace Hostsim {

namespace {

// "usage: hostsim [--module FILE] ... [MODULE]" from the options themselves, in lines that fit
// a terminal.
std::string synopsis(const CLI::App& app) {
    std::vector<std::string> parts;
    for (const CLI::Option* option : app.get_options()) {
        if (option->nonpositional() && option->get_name() != "--help") {
            parts.push_back("[" + option->get_name() + " " + option->get_type_name() + "]");
        }
    }
    parts.push_back("[MODULE]");
    const std::string start = "usage: hostsim";
    std::string text = start, line = start;
    for (const std::string& part : parts) {
        if (line.size() + 1 + part.size() > 79) {
            text += "\n" + std::string(start.size(), ' ');
            line = std::string(start.size(), ' ');
        }
        text += " " + part;
        line += " " + part;
    }
    return text + "\n";
}

// The number of single-character edits between two texts.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// " (did you mean --session?)" for an unknown option close to one of ours.
std::string suggestion(const CLI::App& app, const std::vector<std::string>& unknown) {
    for (const std::string& given : unknown) {
        std::string name = given.substr(0, given.find('='));
        for (const CLI::Option* option : app.get_options()) {
            if (option->nonpositional() && name.rfind("--", 0) == 0 &&
                editDistance(name, option->get_name()) <= 2) {
                return " (did you mean " + option->get_name() + "?)";
            }
        }
    }
    return {};
}

class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string) const override {
        return synopsis(*app);
    }
};

std::string exitStatusText() {
    std::string text = "Exit status (when several apply: 3, then 1, then 2):\n";
    for (const ExitStatusMeaning& m : exitStatusMeanings()) {
        std::string code = std::to_string(static_cast<int>(m.status));
        text += std::string(code.size() < 2 ? "   " : "  ") + code + "  " + m.meaning + "\n";
    }
    return text;
}

// CLI11 takes whatever follows an option as its value, an option too: "--scene --session x"
// would read a scene named "--session".
const CLI::Validator kValue(
    [](std::string& value) -> std::string {
        if (value.empty()) {
            return "needs a value";
        }
        if (value.size() > 1 && value[0] == '-') {
            return "needs a value, found the option " + value +
                   " (a path that starts with - is written ./" + value + ")";
        }
        return {};
    },
    "");

} // namespace

ParsedArguments parseArguments(const std::vector<std::string>& arguments, std::ostream& out,
                               std::ostream& err) {
    CLI::App app("hostsim: the stand-in CAD host. Loads a plug-in module, starts it as the host "
                 "would,\nopens a scene, runs a session script (what the user does in the "
                 "dialogs) and prints\nwhat the user did and was shown, and the exchange files "
                 "the run wrote.\n",
                 "hostsim");
    // An absolute path such as /tmp/scene.json is a value on Windows too, not an option.
    app.allow_windows_style_options(false);
    app.formatter(std::make_shared<Formatter>());
    app.get_formatter()->column_width(22);
    Options o;
    std::string plainModule;
    auto add = [&](const char* name, std::string& target, const char* type, const char* help) {
        app.add_option(name, target, help)->type_name(type)->check(kValue);
    };
    add("--module", o.module, "FILE",
        "the plug-in module to start; may also be the first plain argument\n"
        "default: TarveloGateway beside hostsim, else in " HOSTSIM_MODULE_DIR_FROM_PROGRAM
        " from\nhostsim's folder (installed), else in the build's plugin folder");
    add("--scene", o.scene, "FILE",
        "the models of the host session (host/SceneFormat.md)\n"
        "default: the built-in examples/gearbox-assembly.json");
    add("--session", o.session, "FILE",
        "the session script, what the user does (host/UserInterface.md)\n"
        "default: the built-in examples/sessions/export.session (invoke\n"
        "\"Tarvelo Gateway\", press Export)");
    add("--workdir", o.workdir, "DIR",
        "the host's working directory, where the exchange file goes; made when\n"
        "missing; a relative DIR starts in the current folder\n"
        "default: the scene's workingDirectory (a relative one starts in the scene's\n"
        "folder), else a fresh temporary folder");
#if !defined(_WIN32)
    add("--registry", o.registry, "DIR",
        "the registry's file store (this build's registry is a folder of files)\n"
        "default: a fresh temporary store, removed at the end");
#endif
    add("--text-root", o.textRoot, "DIR",
        "the application's text root: text/TarveloMessages.txt, text/resource/\n"
        "default: " HOSTSIM_TEXT_ROOT_FROM_PROGRAM " from hostsim's folder (installed), else the\n"
        "build's link to the repository's resources folder");
#if defined(_WIN32)
    add("--tarvelo-dir", o.tarveloDir, "DIR",
        "before the module starts, writes DIR as the machine-wide \"Path\" under\n"
        "\"SOFTWARE\\Korvane\\Tarvelo\" of the system's registry, as Tarvelo's installer\n"
        "does (the value stays): an export then starts DIR\\Tarvelo.exe\n"
        "default: the registry is left as it is");
#else
    add("--tarvelo-dir", o.tarveloDir, "DIR",
        "before the module starts, writes DIR as the machine-wide \"Path\" under\n"
        "\"SOFTWARE\\Korvane\\Tarvelo\" of the run's registry, as Tarvelo's installer does:\n"
        "an export then starts DIR/Tarvelo.exe (or DIR/Tarvelo)\n"
        "default: not written, so a fresh registry has no Tarvelo installed");
#endif
    app.add_option("module", plainModule, "the module")->check(kValue)->group("");
    app.footer(exitStatusText());

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
        if (!plainModule.empty() && !o.module.empty()) {
            throw CLI::ParseError("the module is named twice: --module " + o.module + " and " +
                                      plainModule,
                                  static_cast<int>(CLI::ExitCodes::ExtrasError));
        }
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return {std::nullopt, ExitStatus::Success};
    } catch (const CLI::ParseError& e) {
        const bool extras = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr;
        err << "hostsim: " << e.what() << (extras ? suggestion(app, app.remaining()) : "") << '\n'
            << synopsis(app) << "hostsim --help says what each option does and lists the exit "
            << "codes.\n";
        return {std::nullopt, ExitStatus::BadArguments};
    }
    if (o.module.empty()) {
        o.module = plainModule;
    }
    return {o, ExitStatus::Success};
}

} // namespace Hostsim
