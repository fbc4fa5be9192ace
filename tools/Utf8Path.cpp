// Paths as UTF-8 text through the char8_t forms, which never go through the locale.
#include "Utf8Path.h"

namespace ProgramText {

std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace ProgramText
