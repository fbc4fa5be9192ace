// How CreateProcessW off Windows reads a Windows command line and finds the program it names.
#pragma once

#include <string>
#include <vector>

namespace Platform {

// Splits a command line as the Windows C runtime builds argv.
// The program name (first element) ends at the first blank or tab outside double quotes; its
// quotes only group and are dropped, backslashes are plain characters.
// Every further argument: blanks and tabs outside quotes separate arguments; 2n backslashes and
// a quote give n backslashes and start or end a quoted part; 2n+1 backslashes and a quote give n
// backslashes and a literal quote; backslashes before anything else stay as they are; inside a
// quoted part two quotes in a row give one literal quote and the part goes on.
std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine);

// The local paths tried, in order, for a program path given in Windows form.
// Backslashes become slashes; a drive prefix such as "C:" is dropped, so "C:\dir\Tarvelo.exe"
// and "/dir\Tarvelo.exe" both name "/dir/Tarvelo.exe"; a relative path stays relative to the
// current directory (no search path). The path itself is tried first; then, when it ends in
// ".exe" (any case), the path without it, otherwise the path with ".exe" appended.
std::vector<std::wstring> programCandidates(const std::wstring& program);

} // namespace Platform
