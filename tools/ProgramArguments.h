// A program's command-line arguments as UTF-8 text, whatever the platform and the locale.
#pragma once

#include <string>
#include <vector>

namespace ProgramText {

// The arguments, the program name first. Windows hands a program its arguments in UTF-16 (the
// narrow argv there loses every character outside the code page); elsewhere they are taken
// as they are.
std::vector<std::string> utf8Arguments(int argc, char** argv);

} // namespace ProgramText
