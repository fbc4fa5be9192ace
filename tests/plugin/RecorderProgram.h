// The stand-in for "Tarvelo.exe" that the tests install: arg_recorder, built beside the test
// programs, writes the arguments it was started with into a file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace RecorderProgram {

// The program as built, and the name it is installed under. Off Windows the platform layer
// finds "Tarvelo" when asked for "Tarvelo.exe".
extern const char* const kRecorder;
extern const char* const kViewer;

// The folder of the running test program, where arg_recorder is built too.
std::filesystem::path testProgramDirectory();

// The lines of a file the recorder wrote.
std::vector<std::string> readLines(const std::filesystem::path& file);

// Waits up to 30 s for a file to appear (the recorder runs on its own, the start does not wait).
bool waitFor(const std::filesystem::path& file);

} // namespace RecorderProgram
