// CreateProcessW and CloseHandle off Windows.
//
// The program is started through a short-lived intermediate process: the intermediate forks the
// program and exits at once, so the program is handed to the system's reaper and never stays a
// zombie of the caller, who does not wait for it. A close-on-exec pipe brings back the
// program's process id and, when every exec failed, the reason, so success is reported only
// for a program that is really running. The children call only async-signal-safe functions.
#include "CommandLine.h"
#include "OpenHandles.h"
#include "Utf8.h"
#include "Win32Api.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

// What a process or thread handle stands for.
struct ProcessObject {
    pid_t pid = 0;
};

std::mutex g_handlesMutex;
std::set<ProcessObject*> g_handles;

HANDLE handOut(pid_t pid) {
    auto* object = new ProcessObject{pid};
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    g_handles.insert(object);
    return object;
}

// Wide text as the file names and arguments on disk: UTF-8, the exact inverse of the plug-in's
// widening, whatever the C locale. No value for text that is no Unicode (a lone surrogate, a
// value beyond U+10FFFF), which would name another file.
std::optional<std::string> toNarrow(const std::wstring& wide) {
    std::string narrow = KorvaneUtil::toUtf8(wide);
    if (KorvaneUtil::fromUtf8(narrow) != wide) {
        return std::nullopt;
    }
    return narrow;
}

DWORD errorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
        return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    case E2BIG:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL fail(DWORD error) {
    t_lastError = error;
    return FALSE;
}

// Messages on the pipe from the intermediate and the program.
struct Report {
    int kind;
    int value;
};
constexpr int kStartedPid = 1;
constexpr int kExecFailed = 2;
constexpr int kForkFailed = 3;

void report(int fd, int kind, int value) {
    Report message{kind, value};
    while (::write(fd, &message, sizeof message) < 0 && errno == EINTR) {
    }
}

// No descriptor lies above the system's default ceiling on open files (fs.nr_open) unless an
// administrator raised it; the closing by hand stops there.
constexpr rlim_t kDescriptorCeiling = rlim_t{1} << 20;

// The bound below which the descriptors to close by hand lie, when close_range is refused: the
// hard limit on open files, above which the soft limit that numbers new descriptors cannot be
// raised, and no more than the ceiling. Worked out before the fork.
int descriptorBound() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_max == RLIM_INFINITY) {
        return static_cast<int>(kDescriptorCeiling);
    }
    return static_cast<int>(std::min(limit.rlim_max, kDescriptorCeiling));
}

// Leaves the program only the standard three descriptors and the report pipe (which closes on
// exec). close_range is missing before Linux 5.11 or may be refused by a filter: the descriptors
// are then closed one by one.
void closeInherited(int reportFd, int bound) {
    if (::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC) == 0) {
        return;
    }
    for (int fd = 3; fd < bound; ++fd) {
        if (fd != reportFd) {
            ::close(fd);
        }
    }
}

// Runs in the program's process: a clean signal state, no inherited descriptors beyond the
// standard three (unless asked), then each candidate path until one can be executed.
[[noreturn]] void execProgram(int reportFd, std::vector<std::vector<char*>>& argvs,
                              const char* directory, bool inheritHandles, int closeBelow) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        sigaction(sig, &defaults, nullptr);
    }
    if (!inheritHandles) {
        closeInherited(reportFd, closeBelow);
    }
    if (directory != nullptr && ::chdir(directory) != 0) {
        report(reportFd, kExecFailed, errno);
        ::_exit(127);
    }
    int error = ENOENT;
    for (std::vector<char*>& argv : argvs) {
        ::execve(argv[0], argv.data(), environ);
        error = errno;
        if (error != ENOENT && error != ENOTDIR) {
            break;
        }
    }
    report(reportFd, kExecFailed, error);
    ::_exit(127);
}

// What the program is started with, in the narrow text of the names on disk.
struct StartRequest {
    std::vector<std::string> paths;     // the program's candidate paths, tried in order
    std::vector<std::string> arguments; // after the program's name
    std::optional<std::string> directory;
};

// The arguments: the command line split as Windows does, the program's candidate paths, and
// everything in narrow text. ERROR_SUCCESS, or the error that ends the call.
DWORD readRequest(LPCWSTR applicationName, LPCWSTR commandLine, LPCWSTR currentDirectory,
                  StartRequest& request) {
    std::vector<std::wstring> args =
        Platform::splitCommandLine(commandLine != nullptr ? commandLine : applicationName);
    std::wstring program = applicationName != nullptr ? applicationName : args.front();

    for (std::size_t i = 1; i < args.size(); ++i) {
        std::optional<std::string> arg = toNarrow(args[i]);
        if (!arg) {
            return ERROR_NO_UNICODE_TRANSLATION;
        }
        request.arguments.push_back(std::move(*arg));
    }
    for (const std::wstring& candidate : Platform::programCandidates(program)) {
        std::optional<std::string> path = toNarrow(candidate);
        if (!path) {
            return ERROR_NO_UNICODE_TRANSLATION;
        }
        request.paths.push_back(std::move(*path));
    }
    if (request.paths.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (currentDirectory != nullptr) {
        request.directory = toNarrow(currentDirectory);
        if (!request.directory) {
            return ERROR_NO_UNICODE_TRANSLATION;
        }
    }
    return ERROR_SUCCESS;
}

// One argument vector per candidate path. Built before the fork: the children must not
// allocate. The vectors point into `request`.
std::vector<std::vector<char*>> argumentVectors(StartRequest& request) {
    std::vector<std::vector<char*>> argvs;
    for (std::string& path : request.paths) {
        std::vector<char*> argv{path.data()};
        for (std::string& arg : request.arguments) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        argvs.push_back(std::move(argv));
    }
    return argvs;
}

// Runs in the intermediate process: forks the program and exits at once, after saying on the
// pipe which process it started or why it could not.
[[noreturn]] void runIntermediate(const int fds[2], std::vector<std::vector<char*>>& argvs,
                                  const char* directory, bool inheritHandles, int closeBelow) {
    ::close(fds[0]);
    pid_t child = ::_Fork();
    if (child < 0) {
        report(fds[1], kForkFailed, errno);
        ::_exit(1);
    }
    if (child == 0) {
        execProgram(fds[1], argvs, directory, inheritHandles, closeBelow);
    }
    report(fds[1], kStartedPid, child);
    ::_exit(0);
}

// What the start came to: the program's process id, or the errno why there is none.
struct Started {
    pid_t pid = 0;
    int error = 0;
};

// The messages on the pipe until it closes, which it does when the intermediate has exited and
// the program has executed (or died).
Started readReports(int fd) {
    Started started;
    Report message{};
    std::size_t have = 0;
    while (true) {
        ssize_t n = ::read(fd, reinterpret_cast<char*>(&message) + have, sizeof message - have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        have += static_cast<std::size_t>(n);
        if (have == sizeof message) {
            if (message.kind == kStartedPid) {
                started.pid = message.value;
            } else {
                started.error = message.value != 0 ? message.value : ECHILD;
            }
            have = 0;
        }
    }
    return started;
}

// The start: the program forked through the intermediate, which is reaped at once.
Started startProgram(StartRequest& request, bool inheritHandles) {
    std::vector<std::vector<char*>> argvs = argumentVectors(request);
    const char* directory = request.directory ? request.directory->c_str() : nullptr;
    const int bound = descriptorBound();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return {0, errno};
    }
    pid_t intermediate = ::fork();
    if (intermediate < 0) {
        int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return {0, error};
    }
    if (intermediate == 0) {
        runIntermediate(fds, argvs, directory, inheritHandles, bound);
    }
    ::close(fds[1]);
    while (::waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
    }
    Started started = readReports(fds[0]);
    ::close(fds[0]);
    return started;
}

// The report: the Windows error of a failed start, or the handles of a running program.
BOOL reportStart(const Started& started, LPPROCESS_INFORMATION information) {
    if (started.error != 0) {
        return fail(errorFromErrno(started.error));
    }
    if (started.pid <= 0) {
        return fail(ERROR_GEN_FAILURE);
    }
    information->hProcess = handOut(started.pid);
    information->hThread = handOut(started.pid);
    information->dwProcessId = static_cast<DWORD>(started.pid);
    information->dwThreadId = static_cast<DWORD>(started.pid);
    return TRUE;
}

} // namespace

namespace Platform {

std::size_t openProcessHandleCount() {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    return g_handles.size();
}

} // namespace Platform

extern "C" {

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation) {
    if (lpStartupInfo == nullptr || lpProcessInformation == nullptr ||
        (lpApplicationName == nullptr && lpCommandLine == nullptr)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // Creation flags and an environment block of its own are not used by the plug-in.
    if (dwCreationFlags != 0 || lpEnvironment != nullptr) {
        return fail(ERROR_NOT_SUPPORTED);
    }

    StartRequest request;
    if (DWORD error = readRequest(lpApplicationName, lpCommandLine, lpCurrentDirectory, request)) {
        return fail(error);
    }
    return reportStart(startProgram(request, bInheritHandles != FALSE), lpProcessInformation);
}

BOOL CloseHandle(HANDLE hObject) {
    auto* object = static_cast<ProcessObject*>(hObject);
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        if (g_handles.erase(object) == 0) {
            return fail(ERROR_INVALID_HANDLE);
        }
    }
    delete object;
    return TRUE;
}

} // extern "C"
