// hostsim's command line, read with CLI11: the options, --help, and errors that name the
// argument at fault.
#pragma once

#include "ExitStatus.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace Hostsim {

// Paths as UTF-8 text; empty: the default.
struct Options {
    std::string module, scene, session, workdir, registry, textRoot, tarveloDir;
};

struct ParsedArguments {
    std::optional<Options> options; // none: the run ends now, with `status`
    ExitStatus status = ExitStatus::Success;
};

// The arguments after the program name. --help prints the options and the exit codes to `out`
// (status Success); a bad command line prints what is wrong and the usage to `err`
// (status BadArguments).
ParsedArguments parseArguments(const std::vector<std::string>& arguments, std::ostream& out,
                               std::ostream& err);

} // namespace Hostsim
