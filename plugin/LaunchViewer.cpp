#include "LaunchViewer.h"

#include "HostStatus.h"
#include "NarrowText.h"
#include "Win32.h"

#include <vector>

namespace Velmora {

std::optional<std::wstring> widenCommandLine(const std::string& commandLine) {
    return exactWideText(commandLine);
}

} // namespace Velmora

bool launchViewer(const std::string& commandLine) {
    std::optional<std::wstring> wide = Velmora::widenCommandLine(commandLine);
    if (!wide) {
        return false;
    }
    // The system may write into the command line, so it gets a buffer of its own.
    std::vector<wchar_t> buffer(wide->begin(), wide->end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    // The process runs on by itself; a handle that does not close changes nothing for it.
    Velmora::ignoreStatus(CloseHandle(process.hProcess), "the process is started already");
    Velmora::ignoreStatus(CloseHandle(process.hThread), "the process is started already");
    return true;
}
