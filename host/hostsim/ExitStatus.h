// hostsim's exit status: how the run ended, one code per kind of ending.
#pragma once

#include <vector>

namespace Hostsim {

enum class ExitStatus : int {
    Success = 0,
    ExportFailed = 1,
    SessionNotRun = 2,
    PluginFault = 3,
    BadArguments = 4,
    BadScene = 5,
    BadSession = 6,
    BadModule = 7,
    BadTextRoot = 8,
    StartupFailed = 9,
    SetupFailed = 10,
    InternalError = 11,
    OutputFailed = 12,
};

struct ExitStatusMeaning {
    ExitStatus status;
    const char* meaning;
};

// Every status with what it means, in order (for --help; the README repeats it).
const std::vector<ExitStatusMeaning>& exitStatusMeanings();

} // namespace Hostsim
