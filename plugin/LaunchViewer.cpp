#include "LaunchViewer.h"

#include "Win32.h"

#include <cstdlib>
#include <vector>

namespace Velmora {

std::optional<std::wstring> widenCommandLine(const std::string& commandLine) {
    if (commandLine.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::size_t length = std::mbstowcs(nullptr, commandLine.c_str(), 0);
    if (length == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    std::vector<wchar_t> wide(length + 1, L'\0');
    std::mbstowcs(wide.data(), commandLine.c_str(), wide.size());
    return std::wstring(wide.data(), length);
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
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}
