// The process start where the system refuses close_range (kernels before 5.11, a seccomp filter).
// This program defines close_range itself, failing as a kernel without it does; that puts it
// before the C library's for the process start linked into the program. The program also runs
// every test of ProcessStartTest.cpp this way.
#include "RecorderProgram.h"
#include "Win32Api.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" int close_range(unsigned int, unsigned int, int) noexcept {
    errno = ENOSYS;
    return -1;
}

namespace fs = std::filesystem;

namespace {

TEST(CloseRangeRefused, TheSystemRefusesItInThisProgram) {
    errno = 0;
    EXPECT_EQ(::close_range(1u << 30, 1u << 30, 0), -1);
    EXPECT_EQ(errno, ENOSYS);
}

// In a child process whose hard limit on open files is lowered to `limit`, descriptors planted
// at 5 and at limit - 1 (the highest one a process can hold then); the program started with them
// says for each whether it holds it. The parent's limits stay as they are.
std::vector<std::string> probedDescriptors(const fs::path& report, BOOL inherit) {
    constexpr int limit = 64;
    const int probes[] = {5, limit - 1};
    std::string script = "for fd in";
    for (int probe : probes) {
        script += " " + std::to_string(probe);
    }
    script += "; do if [ -e /proc/self/fd/$fd ]; then echo $fd inherited; else echo $fd closed; "
              "fi; done > '" +
              report.string() + ".part' && mv '" + report.string() + ".part' '" + report.string() +
              "'";
    std::wstring line = L"\"/bin/sh\" -c \"" + std::wstring(script.begin(), script.end()) + L"\"";

    pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit lowered{limit, limit};
        bool ok = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
        const int open = ::open("/", O_RDONLY | O_DIRECTORY); // inheritable on purpose
        for (int probe : probes) {
            ok = ok && open >= 0 && ::dup2(open, probe) == probe;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        ok = ok && CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit, 0, nullptr,
                                  nullptr, &startup, &info);
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(RecorderProgram::waitFor(report));
    return RecorderProgram::readLines(report);
}

TEST(CloseRangeRefused, TheProgramInheritsNoDescriptorUpToTheLimit) {
    std::string pattern = (fs::temp_directory_path() / "tarvelo-start-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    EXPECT_EQ(probedDescriptors(dir / "closed", FALSE),
              (std::vector<std::string>{"5 closed", "63 closed"}));
    EXPECT_EQ(probedDescriptors(dir / "inherited", TRUE),
              (std::vector<std::string>{"5 inherited", "63 inherited"}));
    fs::remove_all(dir);
}

} // namespace
