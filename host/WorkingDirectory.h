// The host's working directory as ProDirectoryCurrentGet hands it to the plug-in, and whether a
// folder can be handed over so that the plug-in names that very folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace Hostsim {

// The text the plug-in receives: the directory with a separator at its end. The host takes "/"
// and "\" alike for a separator there, so nothing is added after either.
std::wstring reportedDirectory(const std::wstring& directory);

// Why the plug-in could not be handed `dir` (absolute) exactly, or none: its name is no text the
// host can hold, it ends with "\" off Windows (the host reads that as the separator, so the
// plug-in's files would land beside the folder, not in it), or the text handed over, wide or in
// the plug-in's narrow form, does not fit the host's path size.
std::optional<std::string> unreportableDirectory(const std::filesystem::path& dir);

} // namespace Hostsim
