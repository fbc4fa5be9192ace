#include "CommandLine.h"

namespace Platform {

namespace {
bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
} // namespace

std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    const std::size_t n = commandLine.size();
    std::size_t p = 0;

    std::wstring program;
    bool inQuotes = false;
    while (p < n && (inQuotes || !isBlank(commandLine[p]))) {
        if (commandLine[p] == L'"') {
            inQuotes = !inQuotes;
        } else {
            program.push_back(commandLine[p]);
        }
        ++p;
    }
    args.push_back(program);

    while (true) {
        while (p < n && isBlank(commandLine[p])) {
            ++p;
        }
        if (p >= n) {
            break;
        }
        std::wstring arg;
        inQuotes = false;
        while (true) {
            std::size_t backslashes = 0;
            while (p < n && commandLine[p] == L'\\') {
                ++backslashes;
                ++p;
            }
            bool copy = true;
            if (p < n && commandLine[p] == L'"') {
                if (backslashes % 2 == 0) {
                    if (inQuotes && p + 1 < n && commandLine[p + 1] == L'"') {
                        ++p; // a doubled quote inside quotes is one literal quote
                    } else {
                        copy = false;
                        inQuotes = !inQuotes;
                    }
                }
                backslashes /= 2;
            }
            arg.append(backslashes, L'\\');
            if (p >= n || (!inQuotes && isBlank(commandLine[p]))) {
                break;
            }
            if (copy) {
                arg.push_back(commandLine[p]);
            }
            ++p;
        }
        args.push_back(arg);
    }
    return args;
}

std::vector<std::wstring> programCandidates(const std::wstring& program) {
    std::wstring path = program;
    for (wchar_t& c : path) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    if (path.size() >= 2 && path[1] == L':' &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) {
        path.erase(0, 2);
    }
    if (path.empty()) {
        return {};
    }
    std::vector<std::wstring> candidates{path};
    auto lower = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; };
    bool exe = path.size() > 4 && path[path.size() - 4] == L'.' &&
               lower(path[path.size() - 3]) == L'e' && lower(path[path.size() - 2]) == L'x' &&
               lower(path[path.size() - 1]) == L'e';
    if (exe) {
        candidates.push_back(path.substr(0, path.size() - 4));
    } else {
        candidates.push_back(path + L".exe");
    }
    return candidates;
}

} // namespace Platform
