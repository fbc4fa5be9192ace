// The output of a command-line program: a write that failed is an error, as it is for the
// standard Unix tools (a full disk, a closed pipe, /dev/full).
#pragma once

#include <cstdio>
#include <streambuf>

namespace ProgramText {

// A stream buffer that hands every write straight to a C stream (which buffers it) and keeps
// the first failure with the system's reason.
class CheckedFileBuf : public std::streambuf {
public:
    explicit CheckedFileBuf(std::FILE* file) : file_(file) {}
    bool failed() const { return failed_; }
    int error() const { return error_; } // errno of the first failure, 0 when unknown

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void noteFailure();

    std::FILE* file_;
    bool failed_ = false;
    int error_ = 0;
};

// For the life of a program's run, std::cout and std::cerr write through checked buffers.
class StandardStreams {
public:
    StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;
    ~StandardStreams();

    // Flushes both. When a write to either failed, says so on standard error (while that still
    // works) and returns `outputFailed` in place of a `status` of 0; any other status stays, as
    // it already tells that the run went wrong.
    int finish(const char* program, int status, int outputFailed);

private:
    CheckedFileBuf out_{stdout};
    CheckedFileBuf err_{stderr};
    std::streambuf* previousOut_;
    std::streambuf* previousErr_;
};

} // namespace ProgramText
