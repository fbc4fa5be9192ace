// hostsim: the stand-in host as a program. Loads a plug-in module, starts it as the host would,
// opens a scene, runs a session script (what the user does) and prints what the user was shown.
// `hostsim --help` lists the options, their defaults and the exit codes; Program.cpp holds the
// run, Options.cpp the command line.
#include "Program.h"
#include "ProgramArguments.h"
#include "ProgramOutput.h"

#include <csignal>
#include <exception>
#include <iostream>

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
    // Past a file-size limit a write fails instead of ending the process, so that the plug-in's
    // failed write is what the run shows.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    ProgramText::StandardStreams streams;
    auto status = Hostsim::ExitStatus::InternalError;
    try {
        status = Hostsim::runHostsim(ProgramText::utf8Arguments(argc, argv), std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "hostsim: unexpected error: " << e.what() << '\n';
    } catch (...) {
        std::cout.flush();
        std::cerr << "hostsim: unexpected error\n";
    }
    return streams.finish("hostsim", static_cast<int>(status),
                          static_cast<int>(Hostsim::ExitStatus::OutputFailed));
}
