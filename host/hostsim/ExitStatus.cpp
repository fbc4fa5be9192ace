// What each exit status of hostsim means.
#include "ExitStatus.h"

namespace Hostsim {

const std::vector<ExitStatusMeaning>& exitStatusMeanings() {
    static const std::vector<ExitStatusMeaning> table = {
        {ExitStatus::Success, "the session ran to its end and no export failed (an export that "
                              "ends with\n      \"TarveloNotInstalled\" counts as done)"},
        {ExitStatus::ExportFailed,
         "an export failed: \"CreoImportError\", \"ExportTvlFailed\", \"TarveloOpenFailed\" or\n"
         "      \"DeleteTvlFailed\" was shown"},
        {ExitStatus::SessionNotRun, "the session did not run as written: an event was ignored or "
                                    "a command failed\n      (each is named with its file and "
                                    "line)"},
        {ExitStatus::PluginFault, "the plug-in left the host in a bad state: an allocation not "
                                  "released, a refused\n      release, an exception out of a "
                                  "callback"},
        {ExitStatus::BadArguments,
         "bad command line: an unknown option, a missing value, a stray argument"},
        {ExitStatus::BadScene, "the scene cannot be read or is not a valid scene"},
        {ExitStatus::BadSession,
         "the session script cannot be read, is not valid or holds no events"},
        {ExitStatus::BadModule, "the module cannot be read or loaded, or is no toolkit module"},
        {ExitStatus::BadTextRoot, "the text root is no folder, or its message file\n"
                                  "      text/TarveloMessages.txt is missing or broken"},
        {ExitStatus::StartupFailed, "the module's start-up returned a non-zero status"},
        {ExitStatus::SetupFailed,
         "the working directory, the registry store or the install path cannot be set up\n"
         "      (a working directory the plug-in could not be handed as it is, too)"},
        {ExitStatus::InternalError, "an unexpected error in hostsim itself"},
        {ExitStatus::OutputFailed, "the output cannot be written (standard output or standard "
                                   "error; named on\n      standard error while that works), "
                                   "and no other status applies"},
    };
    return table;
}

} // namespace Hostsim
