// Runs a program as a child process, the way a user runs it from a shell, and collects what it
// printed and its exit status: for tests of programs (hostsim, tvlsummary) as a whole.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace TestProcess {

struct Result {
    int exitCode = -1; // the exit status; 128 + n when killed by signal n; -1: did not end
    std::string out;   // standard output, as bytes
    std::string err;   // standard error, as bytes
};

struct Options {
    // Off Windows: variables to set (a value) or remove (none) in the child's environment.
    std::map<std::string, std::optional<std::string>> environment;
    // The child is ended after this many seconds.
    int timeoutSeconds = 120;
};

// `program` and `arguments` are UTF-8; standard input is empty. Output goes through files in
// `scratch` (a folder of the test), so a grandchild that keeps them open delays nothing.
Result run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
           const std::filesystem::path& scratch, const Options& options = {});

// What the environment of a run in the C locale sets: no locale variable at all, LC_ALL=C.
Options cLocale();

// The run as a failed check shows it: the exit status, then both outputs.
std::string describe(const Result& result);

#if !defined(_WIN32)
// `program` run through /bin/sh with a redirection of the shell's (such as ">/dev/full" or
// ">&-") applied to it.
Result runRedirected(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments, const std::string& redirection,
                     const std::filesystem::path& scratch);
#endif

} // namespace TestProcess
