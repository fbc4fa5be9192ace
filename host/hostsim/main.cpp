// hostsim: the stand-in host as a program. Loads a plug-in module, starts it as the host would,
// opens a scene, runs a session script (what the user does) and prints what the user was shown.
// `hostsim --help` lists the options, their defaults and the exit codes; Program.cpp holds the
// run, Options.cpp the command line.
#include "Program.h"

#include "Utf8.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

// The arguments as UTF-8. Windows hands a program its arguments in UTF-16; the narrow argv
// there would lose every character outside the code page.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) {
            arguments.push_back(KorvaneUtil::toUtf8(wide[i]));
        }
        LocalFree(wide);
    }
#else
    arguments.assign(argv, argv + argc);
#endif
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
    // Past a file-size limit a write fails instead of ending the process, so that the plug-in's
    // failed write is what the run shows.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    try {
        return static_cast<int>(
            Hostsim::runHostsim(utf8Arguments(argc, argv), std::cout, std::cerr));
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "hostsim: unexpected error: " << e.what() << '\n';
    } catch (...) {
        std::cout.flush();
        std::cerr << "hostsim: unexpected error\n";
    }
    return static_cast<int>(Hostsim::ExitStatus::InternalError);
}
