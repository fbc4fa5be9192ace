#include "RegularFile.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace ProgramText {

namespace {

// What stands at a path that is no regular file.
const char* kindOf(std::filesystem::file_type type) {
    using std::filesystem::file_type;
    switch (type) {
    case file_type::directory:
        return "a directory";
    case file_type::character:
        return "a character device";
    case file_type::block:
        return "a block device";
    case file_type::fifo:
        return "a FIFO";
    case file_type::socket:
        return "a socket";
    default:
        return "no regular file";
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::string readRegularFile(const std::filesystem::path& file) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (ec) {
        throw FileReadError(ec.message());
    }
    if (status.type() != std::filesystem::file_type::regular) {
        throw FileReadError(std::string("it is ") + kindOf(status.type()));
    }
    errno = 0;
#if defined(_WIN32)
    std::unique_ptr<std::FILE, FileCloser> in(_wfopen(file.c_str(), L"rb"));
#else
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(file.c_str(), "rb"));
#endif
    if (!in) {
        throw FileReadError(std::generic_category().message(errno));
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, in.get());
        content.append(buffer, n);
        if (n < sizeof buffer) {
            break;
        }
    }
    if (std::ferror(in.get())) {
        throw FileReadError(std::generic_category().message(errno));
    }
    return content;
}

} // namespace ProgramText
