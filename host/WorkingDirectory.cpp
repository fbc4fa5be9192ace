// The working directory between the stand-in host and the plug-in.
#include "WorkingDirectory.h"

#include "PathText.h"
#include "ProToolkit.h"
#include "Utf8.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace Hostsim {

namespace {

// The byte count of the text as the toolkit runtime narrows it for the plug-in: the ANSI code
// page on Windows, UTF-8 elsewhere.
std::size_t narrowSize(const std::wstring& text) {
#if defined(_WIN32)
    if (text.empty()) {
        return 0;
    }
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    return size > 0 ? static_cast<std::size_t>(size) : text.size();
#else
    return KorvaneUtil::toUtf8(text).size();
#endif
}

} // namespace

std::wstring reportedDirectory(const std::wstring& directory) {
#if defined(_WIN32)
    const wchar_t separator = L'\\';
#else
    const wchar_t separator = L'/';
#endif
    std::wstring d = directory;
    if (d.empty() || (d.back() != L'/' && d.back() != L'\\')) {
        d += separator;
    }
    return d;
}

std::optional<std::string> unreportableDirectory(const std::filesystem::path& dir) {
    const std::wstring wide = widePath(dir);
#if !defined(_WIN32)
    // Names are bytes here; only those that are UTF-8 text come back as the same name.
    if (KorvaneUtil::toUtf8(wide) != dir.native()) {
        return std::string("its name is no UTF-8 text");
    }
    if (!wide.empty() && wide.back() == L'\\') {
        return std::string("it ends with \"\\\", which the host reads as a separator, so the "
                           "plug-in would write beside the folder");
    }
#endif
    const std::wstring reported = reportedDirectory(wide);
    const std::size_t limit = static_cast<std::size_t>(PRO_PATH_SIZE) - 1;
    if (reported.size() > limit) {
        return "with its separator it is " + std::to_string(reported.size()) +
               " characters long; the host's paths hold at most " + std::to_string(limit);
    }
    const std::size_t narrow = narrowSize(reported);
    if (narrow > limit) {
        return "with its separator its narrow form is " + std::to_string(narrow) +
               " bytes long; the host's paths hold at most " + std::to_string(limit);
    }
    return std::nullopt;
}

} // namespace Hostsim
