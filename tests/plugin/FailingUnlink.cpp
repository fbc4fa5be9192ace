#include "FailingUnlink.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::atomic<int> g_remaining{0};
std::atomic<int> g_error{0};
std::atomic<int> g_failed{0};
} // namespace

namespace TestFault {

void failNextUnlinks(int count, int error) {
    g_error = error;
    g_remaining = count;
}

int failedUnlinks() {
    return g_failed;
}

} // namespace TestFault

extern "C" int unlinkat(int dirfd, const char* path, int flags) noexcept {
    int remaining = g_remaining.load();
    while (remaining > 0) {
        if (g_remaining.compare_exchange_weak(remaining, remaining - 1)) {
            ++g_failed;
            errno = g_error;
            return -1;
        }
    }
    return static_cast<int>(::syscall(SYS_unlinkat, dirfd, path, flags));
}
