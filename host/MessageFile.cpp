// Message files of the stand-in host.
#include "MessageFile.h"

#include "InputFile.h"

#include <sstream>
#include <stdexcept>

namespace Hostsim {

MessageFile MessageFile::load(const std::filesystem::path& file) {
    return parse(readInputFile(file, "message file"), utf8Path(file));
}

MessageFile MessageFile::parse(const std::string& content, const std::string& fileName) {
    MessageFile result;
    std::istringstream in(content);
    std::string line;
    int number = 0;
    std::string pendingKey;
    int keyLine = 0;
    bool haveKey = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!haveKey) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            if (line.find_first_not_of(" \t") == std::string::npos) {
                throw std::runtime_error(fileName + ":" + std::to_string(number) +
                                         ": blank key line");
            }
            if (result.entries_.count(line) != 0) {
                throw std::runtime_error(fileName + ":" + std::to_string(number) + ": key \"" +
                                         line + "\" occurs twice");
            }
            pendingKey = line;
            keyLine = number;
            haveKey = true;
        } else {
            result.entries_[pendingKey] = line;
            haveKey = false;
        }
    }
    if (haveKey) {
        throw std::runtime_error(fileName + ":" + std::to_string(keyLine) + ": key \"" +
                                 pendingKey + "\" has no text");
    }
    return result;
}

std::optional<std::string> MessageFile::text(const std::string& key) const {
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::string> MessageFile::format(const std::string& text,
                                               const std::vector<std::string>& args) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (text[i] == '%' && i + 2 < text.size() &&
                   (text[i + 1] == '0' || text[i + 1] == '1') && text[i + 2] == 's') {
            std::size_t index = static_cast<std::size_t>(text[i + 1] - '0');
            if (index >= args.size()) {
                return std::nullopt;
            }
            out += args[index];
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace Hostsim
