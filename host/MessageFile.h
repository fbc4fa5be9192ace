// The stand-in host's message files (e.g. text/TarveloMessages.txt).
//
// Format, UTF-8: an entry is two lines, the key and then its text. Blank lines and lines that
// start with '#' separate entries and are otherwise ignored; a key line may not be blank.
// Trailing carriage returns are dropped. A key (the whole line, blanks included, e.g.
// "ExportTvlFile %0s") may occur once. In the text, %0s stands for the first argument, %1s for
// the second, %% for a percent sign.
#pragma once

#include "PathText.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Hostsim {

class MessageFile {
public:
    // Throws std::runtime_error naming the file and line on an unreadable or malformed file.
    static MessageFile load(const std::filesystem::path& file);
    static MessageFile parse(const std::string& content, const std::string& fileName);

    // The text of the key, or nullopt.
    std::optional<std::string> text(const std::string& key) const;
    const std::map<std::string, std::string>& entries() const { return entries_; }

    // Substitutes %0s and %1s; nullopt when the text needs an argument that is not given.
    static std::optional<std::string> format(const std::string& text,
                                             const std::vector<std::string>& args);

private:
    std::map<std::string, std::string> entries_;
};

} // namespace Hostsim
