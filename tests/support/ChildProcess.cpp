#include "ChildProcess.h"

#include "Utf8Path.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace TestProcess {

namespace {

// The text a program printed, with Windows' CR LF line ends as LF.
std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            out.push_back(text[i]);
        }
    }
    return out;
}

#if defined(_WIN32)
std::wstring wide(const std::string& text) {
    return ProgramText::pathFromUtf8(text).wstring();
}

// One argument quoted the way the Windows runtime splits a command line.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE inheritable(const fs::path& file, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

} // namespace

Result run(const fs::path& program, const std::vector<std::string>& arguments,
           const fs::path& scratch, const Options& options) {
    static int counter = 0;
    const std::string stem = "child-" + std::to_string(++counter);
    const fs::path outFile = scratch / (stem + ".out"), errFile = scratch / (stem + ".err");
    Result result;
#if defined(_WIN32)
    std::wstring commandLine = quoted(program.wstring());
    for (const std::string& a : arguments) {
        commandLine += L" " + quoted(wide(a));
    }
    HANDLE in = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = inheritable(outFile, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritable(errFile, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    BOOL started = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        result.err =
            "cannot start the program (Windows error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(options.timeoutSeconds) * 1000) ==
        WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.exitCode = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
#else
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (options.environment.count(entry.substr(0, entry.find('='))) == 0) {
            environment.push_back(entry);
        }
    }
    for (const auto& [name, value] : options.environment) {
        if (value) {
            environment.push_back(name + "=" + *value);
        }
    }
    std::vector<std::string> argv = {program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argvPointers, environmentPointers;
    for (std::string& a : argv) {
        argvPointers.push_back(a.data());
    }
    argvPointers.push_back(nullptr);
    for (std::string& e : environment) {
        environmentPointers.push_back(e.data());
    }
    environmentPointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                         environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.err = "cannot start the program: error " + std::to_string(rc);
        return result;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (status != -1) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
#endif
    result.out = readAll(outFile);
    result.err += readAll(errFile);
    return result;
}

Options cLocale() {
    Options o;
    for (const char* name : {"LANG", "LANGUAGE", "LC_CTYPE", "LC_MESSAGES", "LC_COLLATE",
                             "LC_NUMERIC", "LC_TIME", "LC_MONETARY"}) {
        o.environment[name] = std::nullopt;
    }
    o.environment["LC_ALL"] = "C";
    return o;
}

std::string describe(const Result& result) {
    return "exit " + std::to_string(result.exitCode) + "\n--- out\n" + result.out + "--- err\n" +
           result.err;
}

#if !defined(_WIN32)
Result runRedirected(const fs::path& program, const std::vector<std::string>& arguments,
                     const std::string& redirection, const fs::path& scratch) {
    // The shell's own arguments after the script are $0, $1, ...: the program and its arguments.
    std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" " + redirection,
                                      ProgramText::utf8Path(program)};
    shell.insert(shell.end(), arguments.begin(), arguments.end());
    return run("/bin/sh", shell, scratch);
}
#endif

} // namespace TestProcess
