#include "RecorderProgram.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace RecorderProgram {

#ifdef _WIN32
const char* const kRecorder = "arg_recorder.exe";
const char* const kCommandRecorder = "command_recorder.exe";
const char* const kViewer = "Tarvelo.exe";
#else
const char* const kRecorder = "arg_recorder";
const char* const kCommandRecorder = "command_recorder";
const char* const kViewer = "Tarvelo";
#endif

fs::path testProgramDirectory() {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return fs::path(buffer).parent_path();
#else
    return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

std::vector<std::string> readLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string commandRecord(const fs::path& program) {
    fs::path record = program;
    record += ".command";
    if (!waitFor(record)) {
        return {};
    }
    std::ifstream in(record, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool waitFor(const fs::path& file) {
    for (int i = 0; i < 600; ++i) {
        if (fs::exists(file)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

#ifndef _WIN32
bool heldOpen(const fs::path& file) {
    // The path as written, not resolved: a removed file has no canonical form, and the link of
    // a descriptor that holds one reads as its former path with " (deleted)" after it.
    const std::string target = fs::absolute(file).lexically_normal().string();
    const std::string removed = target + " (deleted)";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        const std::string link = fs::read_symlink(entry.path(), error).string();
        if (!error && (link == target || link == removed)) {
            return true;
        }
    }
    return false;
}
#endif

} // namespace RecorderProgram
