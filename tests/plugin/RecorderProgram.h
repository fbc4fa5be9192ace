// The stand-ins for "Tarvelo.exe" that the tests install, built beside the test programs:
// arg_recorder writes the arguments it was started with into a file named after the first one;
// command_recorder writes what reached it exactly (CommandRecorder.cpp) into a file beside
// itself.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace RecorderProgram {

// The program as built, and the name it is installed under. Off Windows the platform layer
// finds "Tarvelo" when asked for "Tarvelo.exe".
extern const char* const kRecorder;
extern const char* const kCommandRecorder;
extern const char* const kViewer;

// The folder of the running test program, where arg_recorder is built too.
std::filesystem::path testProgramDirectory();

// The lines of a file the recorder wrote.
std::vector<std::string> readLines(const std::filesystem::path& file);

// The record of command_recorder installed as `program`, once it is there (empty otherwise): the
// bytes of its file.
std::string commandRecord(const std::filesystem::path& program);

// Waits up to 30 s for a file to appear (the recorder runs on its own, the start does not wait).
bool waitFor(const std::filesystem::path& file);

#ifndef _WIN32
// Whether this process has the file at this path open under any descriptor, also once it was
// removed. The path is compared as given: links among its folders are not followed.
bool heldOpen(const std::filesystem::path& file);
#endif

} // namespace RecorderProgram
