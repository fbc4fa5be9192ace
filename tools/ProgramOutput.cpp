#include "ProgramOutput.h"

#include <cerrno>
#include <iostream>
#include <string>
#include <system_error>

namespace ProgramText {

CheckedFileBuf::int_type CheckedFileBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char character = traits_type::to_char_type(c);
    return xsputn(&character, 1) == 1 ? c : traits_type::eof();
}

std::streamsize CheckedFileBuf::xsputn(const char* text, std::streamsize count) {
    errno = 0;
    const std::size_t written = std::fwrite(text, 1, static_cast<std::size_t>(count), file_);
    // The C stream writes when its buffer is full: a failure shows here, with its errno.
    if (written < static_cast<std::size_t>(count) || std::ferror(file_)) {
        noteFailure();
    }
    return static_cast<std::streamsize>(written);
}

int CheckedFileBuf::sync() {
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_)) {
        noteFailure();
    }
    return failed_ ? -1 : 0;
}

void CheckedFileBuf::noteFailure() {
    if (!failed_) {
        failed_ = true;
        error_ = errno;
    }
}

StandardStreams::StandardStreams()
    : previousOut_(std::cout.rdbuf(&out_)), previousErr_(std::cerr.rdbuf(&err_)) {}

StandardStreams::~StandardStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(previousOut_);
    std::cerr.rdbuf(previousErr_);
}

int StandardStreams::finish(const char* program, int status, int outputFailed) {
    std::cout.flush();
    std::cerr.flush();
    if (out_.failed() && !err_.failed()) {
        std::cerr << program << ": cannot write standard output: "
                  << (out_.error() != 0 ? std::generic_category().message(out_.error())
                                        : std::string("a write failed"))
                  << std::endl;
    }
    const bool failed = out_.failed() || err_.failed();
    return failed && status == 0 ? outputFailed : status;
}

} // namespace ProgramText
