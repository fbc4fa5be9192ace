// A full disk for the time of one scope: the process may not make a file larger than the given
// size, and a write beyond it fails instead of ending the process. Off Windows only.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace TvlTest {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previousSignal_(std::signal(SIGXFSZ, SIG_IGN)) {
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &previous_), 0);
        struct rlimit small = previous_;
        small.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit previous_ {};
    void (*previousSignal_)(int);
};

} // namespace TvlTest
